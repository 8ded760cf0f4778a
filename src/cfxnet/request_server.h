// The station's own AMQP port (cfx-listen), where an MES asks it directly,
// as the standard's requests go: AreYouThere, GetEndpointInformation,
// LockStation and UnlockStation are answered, anything else with
// NotSupportedResponse. A requester attaches a sender to the station's
// address and a receiver for the replies; a reply goes to the link named in
// the request's reply-to, with the same RequestID. Whom it answers, and who
// may lift a lock, is decided by cfx::refusal_of (cfx-mes-handles, Target,
// $type, the lock's setter); a refused request is answered Failed.
//
// Anything can reach this port: port scanners, browsers, clients killed
// half-way, clients that offer a mechanism the station does not take. Every
// connection, session and link error is logged once with the peer's address
// and only that connection is closed; the sender beside it in the same
// container goes on. Bounded so that nothing on the network can wear the
// station down or lock the MES out: a few connections at once and fewer per
// peer address, a small largest message held by the transport's windows
// rather than in memory, a few sessions and links per connection, and a
// connection that asks nothing for the idle limit closed, heartbeats or not.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <proton/connection.hpp>
#include <proton/container.hpp>
#include <proton/listen_handler.hpp>
#include <proton/message.hpp>
#include <proton/messaging_handler.hpp>
#include <proton/sender.hpp>
#include <proton/ssl.hpp>
#include <string>
#include <vector>

#include "cfx/request_answers.h"

namespace cfxnet {

constexpr int kMaxRequestConnections = 8;
constexpr int kMaxConnectionsPerPeer = 4;
constexpr std::size_t kMaxRequestBytes = 64 * 1024;
constexpr std::uint32_t kRequestFrameBytes = 16 * 1024;
constexpr int kRequestIdleTimeoutMs = 30000;
// Sessions and links (both ways) one connection may hold; a requester needs
// one session, one sender and one receiver.
constexpr int kMaxSessionsPerConnection = 4;
constexpr int kMaxLinksPerConnection = 16;

class RequestServer : public proton::messaging_handler, public proton::listen_handler {
 public:
  // `mes_handles`: the requesters answered (cfx-mes-handles); empty: any.
  // `tls`: the port speaks TLS only (cfxnet::station_tls), and with a CA
  // takes only the peers whose certificate it signed; nullopt: plain AMQP.
  RequestServer(cfx::EndpointFacts facts, std::string station_folder,
                std::vector<std::string> mes_handles = {},
                std::optional<proton::ssl_server_options> tls = std::nullopt);

  // Closes the connections that asked nothing for the idle limit (or never
  // opened), and those holding a request beyond the size limit. Called
  // often (the sender's tick) on the container's thread.
  void sweep();

  // listen_handler
  proton::connection_options on_accept(proton::listener&) override;
  void on_error(proton::listener&, const std::string& what) override;

  // messaging_handler, for the accepted connections
  void on_transport_open(proton::transport& t) override;
  void on_transport_error(proton::transport& t) override;
  void on_transport_close(proton::transport& t) override;
  void on_connection_open(proton::connection& c) override;
  void on_connection_close(proton::connection& c) override;
  void on_connection_error(proton::connection& c) override;
  void on_connection_wake(proton::connection& c) override;
  void on_session_open(proton::session& s) override;
  void on_session_error(proton::session& s) override;
  void on_receiver_open(proton::receiver& r) override;
  void on_receiver_error(proton::receiver& r) override;
  void on_sender_open(proton::sender& s) override;
  void on_sender_error(proton::sender& s) override;
  void on_sendable(proton::sender& s) override;
  void on_message(proton::delivery& d, proton::message& m) override;
  void on_error(const proton::error_condition& e) override;

  // Connections taken now, for the tests.
  int connections() const { return static_cast<int>(peers_.size()); }

 private:
  struct Peer {
    std::string address;       // "host:port" of the remote end
    std::string host;          // its host alone, for the cap per address
    std::int64_t seen_ms = 0;  // when taken, or its last request
    bool said = false;         // its trouble was logged already
    bool closing = false;
    bool idle_due = false;  // the sweep found it idle: closed on its own wake
    int sessions = 0, links = 0;
    std::map<std::string, proton::sender> reply_links;
    std::map<std::string, std::vector<proton::message>> waiting;
  };

  Peer& peer(const proton::connection& c);
  // Logs `why` once for the connection and closes it with `condition`.
  void drop(proton::connection c, const std::string& condition, const std::string& why);
  // Counts a new link of the connection: false (and the connection dropped)
  // past the links one connection may hold, or when it is closing.
  bool admit_link(proton::connection c);
  void say(Peer& p, const std::string& why);
  void reply(proton::connection c, const std::string& address, proton::message m);
  void answer(proton::delivery& d, proton::message& m);
  void send_reply(proton::connection c, const proton::message& request,
                  const cfx::Envelope& answer);

  cfx::EndpointFacts facts_;
  std::string station_folder_;
  std::vector<std::string> mes_handles_;
  std::optional<proton::ssl_server_options> tls_;
  int dynamic_count_ = 0;
  std::map<proton::connection, Peer> peers_;
};

}  // namespace cfxnet
