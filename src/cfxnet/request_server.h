// The station's own AMQP port (cfx-listen), where an MES asks it directly,
// as the standard's requests go: AreYouThere, GetEndpointInformation,
// LockStation and UnlockStation are answered, anything else with
// NotSupportedResponse. A requester attaches a sender to the station's
// address and a receiver for the replies; a reply goes to the link named in
// the request's reply-to, with the same RequestID.
//
// Bounded so that nothing on the network can wear the station down: a few
// connections at once, a small largest message, an idle connection closed.
#pragma once

#include <map>
#include <proton/connection.hpp>
#include <proton/container.hpp>
#include <proton/listen_handler.hpp>
#include <proton/message.hpp>
#include <proton/messaging_handler.hpp>
#include <proton/sender.hpp>
#include <string>
#include <vector>

#include "cfx/request_answers.h"

namespace cfxnet {

constexpr int kMaxRequestConnections = 8;
constexpr std::size_t kMaxRequestBytes = 64 * 1024;
constexpr int kRequestIdleTimeoutMs = 30000;

class RequestServer : public proton::messaging_handler, public proton::listen_handler {
 public:
  RequestServer(cfx::EndpointFacts facts, std::string station_folder);

  // listen_handler
  proton::connection_options on_accept(proton::listener&) override;
  void on_error(proton::listener&, const std::string& what) override;

  // messaging_handler, for the accepted connections
  void on_connection_open(proton::connection& c) override;
  void on_connection_close(proton::connection& c) override;
  void on_transport_close(proton::transport& t) override;
  void on_sender_open(proton::sender& s) override;
  void on_sendable(proton::sender& s) override;
  void on_message(proton::delivery& d, proton::message& m) override;

  const std::string& listen_error() const { return listen_error_; }

 private:
  void reply(proton::connection c, const std::string& address, proton::message m);

  cfx::EndpointFacts facts_;
  std::string station_folder_;
  std::string listen_error_;
  int dynamic_count_ = 0;
  // Per connection taken: its reply links by address, and the replies
  // waiting for credit on each.
  struct Links {
    std::map<std::string, proton::sender> reply_links;
    std::map<std::string, std::vector<proton::message>> waiting;
  };
  std::map<proton::connection, Links> connections_;
};

}  // namespace cfxnet
