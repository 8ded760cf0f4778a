// The station's sender: delivers the durable queue to the broker, oldest
// first, at least once. A message leaves the queue only once the broker
// accepted it (settled as accepted); one it rejects is set aside with the
// reason. Messages are handed to Proton only while the link is open, and on
// any trouble with the connection every message not yet accepted is taken
// back and sent again, in order, over a new connection: a stopping broker
// may stop settling before it drops the connection, so sent is not
// accepted. The connection is made again with a back-off of 1, 2, 4, 8, then
// 10 s at most, and the link opened again each time (Proton does not). A
// broker that refuses the link (no such exchange, no permission: it may end
// the link, the session or the connection) is treated as a lost connection
// and tried again the same way, so delivery resumes once the broker is set
// right. While delivery fails, the station folder says so, since when and
// why, for "ffsload cfx --status".
//
// It also puts the endpoint's own messages in the queue: EndpointConnected
// at start, a Heartbeat at the set interval while connected, and
// EndpointShuttingDown when asked to stop, after which it delivers what
// waits for a few seconds more.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <proton/connection.hpp>
#include <proton/container.hpp>
#include <proton/messaging_handler.hpp>
#include <proton/sender.hpp>
#include <proton/session.hpp>
#include <proton/ssl.hpp>
#include <proton/tracker.hpp>
#include <string>
#include <vector>

#include "cfx/cfx_settings.h"
#include "cfx/queue.h"
#include "cfx/request_answers.h"

namespace cfxnet {

struct SenderConfig {
  cfx::Settings settings;
  std::string password;            // for a broker URL with a user
  proton::ssl_client_options tls;  // for an amqps:// broker
  std::string station_folder;      // holds the queue
  cfx::EndpointFacts facts;
  // Polled every tick: true once the sender is asked to stop.
  std::function<bool()> stop_requested;
  // Called every tick on the container's thread: the responder's sweep.
  std::function<void()> on_tick;
  // How long a stopping sender goes on delivering what waits.
  int drain_on_stop_ms = 5000;
  // The longest back-off between connection attempts.
  int max_backoff_ms = 10000;
  // Messages handed over and not yet settled, at most.
  int window = 200;
};

class QueueSender : public proton::messaging_handler {
 public:
  QueueSender(SenderConfig config, std::unique_ptr<cfx::Queue> queue);

  // Called when the container stops; false when the sender ended on an error.
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  void on_container_start(proton::container& c) override;
  void on_connection_open(proton::connection& c) override;
  void on_sender_open(proton::sender& s) override;
  void on_sendable(proton::sender& s) override;
  void on_tracker_accept(proton::tracker& t) override;
  void on_tracker_reject(proton::tracker& t) override;
  void on_tracker_release(proton::tracker& t) override;
  void on_transport_error(proton::transport& t) override;
  void on_transport_close(proton::transport& t) override;
  void on_connection_error(proton::connection& c) override;
  void on_sender_error(proton::sender& s) override;
  void on_sender_close(proton::sender& s) override;
  void on_session_error(proton::session& s) override;
  void on_session_close(proton::session& s) override;
  void on_error(const proton::error_condition& e) override;

 private:
  struct InFlight {
    std::int64_t seq;
    proton::tracker tracker;
    std::int64_t sent_ms;
  };

  void begin();
  bool queue_writable();
  void connect();
  void lost(const std::string& why);
  void tick();
  void pump();
  bool refill();
  void add_own(const cfx::Envelope& e);
  void settle(const proton::tracker& t, bool accepted, const std::string& reason);
  void remove_accepted();
  bool mine(const proton::connection& c) const;
  void note_failing(const std::string& why);
  void note_delivering();
  void finish();

  SenderConfig config_;
  std::unique_ptr<cfx::Queue> queue_;
  proton::container* container_ = nullptr;
  proton::connection connection_;
  proton::sender sender_;
  bool linked_ = false;        // the link to the target is open
  bool reconnecting_ = false;  // an attempt is due at reconnect_at_ms_
  int backoff_ms_ = 1000;
  long reconnect_at_ms_ = 0;
  std::deque<InFlight> in_flight_;
  std::deque<cfx::QueuedMessage> ready_;
  std::vector<std::int64_t> accepted_;  // accepted, not yet removed from the queue
  std::string removal_error_;           // while accepted ones cannot leave the queue
  bool read_only_ = false;              // the queue cannot be written: nothing is sent
  long next_reopen_ms_ = 0;
  std::int64_t last_handed_seq_ = 0;
  std::int64_t next_heartbeat_ms_ = 0;
  long next_tidy_ms_ = 0;
  std::string last_tidy_error_;  // said once
  bool stopping_ = false;
  std::int64_t stop_deadline_ms_ = 0;
  bool finished_ = false;
  std::string error_;
  std::string last_said_;
  std::int64_t failing_since_ms_ = 0;  // UTC; 0 while delivering (or not yet tried)
  std::string failing_reason_;
};

}  // namespace cfxnet
