#include "cfxnet/queue_sender.h"

#include <algorithm>
#include <cstdio>
#include <proton/delivery_mode.hpp>
#include <proton/duration.hpp>
#include <proton/error_condition.hpp>
#include <proton/sender_options.hpp>
#include <proton/transport.hpp>
#include <proton/work_queue.hpp>

#include "cfx/delivery_state.h"
#include "cfx/endpoint_events.h"
#include "cfx/station_messages.h"
#include "cfxnet/amqp_framing.h"
#include "platform/calendar.h"
#include "platform/child_process.h"
#include "platform/file_owner.h"

namespace cfxnet {

namespace {

constexpr int kTickMs = 100;
// A message handed over and not settled for this long means a link that no
// longer works (a broker stopping, a network gone quiet): the connection is
// dropped and everything not accepted sent again.
constexpr int kSettleTimeoutMs = 20000;
constexpr int kIdleTimeoutMs = 10000;
// Accepted messages removed from the queue in one transaction, at most.
constexpr int kRemoveBatch = 100;
// The queue tidied this often (a week's UniqueIDs kept, the space of the
// delivered messages given back), a few short writes each time.
constexpr int kTidyEveryMs = 2000;
// A queue that cannot be written is opened again this often.
constexpr int kReopenEveryMs = 5000;

std::string condition_text(const proton::error_condition& e) {
  if (!e) return "";
  std::string text = e.name();
  if (!e.description().empty()) text += ": " + e.description();
  return text;
}

}  // namespace

QueueSender::QueueSender(SenderConfig config, std::unique_ptr<cfx::Queue> queue)
    : config_(std::move(config)), queue_(std::move(queue)) {}

void QueueSender::on_container_start(proton::container& c) {
  container_ = &c;
  // A record left by an earlier sender says nothing about this one.
  std::string why;
  if (!cfx::clear_delivery_failing(config_.station_folder, &why))
    std::fprintf(stderr, "ffsload-cfx: %s\n", why.c_str());
  container_->schedule(proton::duration(kTickMs), [this] { tick(); });
  if (queue_writable()) begin();
}

// A queue this user cannot write (left by a sender that ran as root, say):
// no accepted message could leave it, so every start and every reconnection
// would send it all again. Nothing is sent until it can be written; said
// once, and tried again every few seconds.
bool QueueSender::queue_writable() {
  const long now = platform::monotonic_ms();
  if (read_only_) {
    if (now < next_reopen_ms_) return false;
    // Closed first: SQLite shares one process's view of the file between its
    // connections, and the old one's was made for reading only.
    std::string error;
    queue_.reset();
    queue_ = cfx::Queue::open(config_.station_folder, &error);
    if (!queue_ || !queue_->writable()) {
      next_reopen_ms_ = now + kReopenEveryMs;
      return false;
    }
    read_only_ = false;
    std::fprintf(stderr, "ffsload-cfx: %s can be written again: delivering\n", cfx::kQueueFile);
    return true;
  }
  if (queue_->writable()) return true;
  read_only_ = true;
  next_reopen_ms_ = now + kReopenEveryMs;
  const std::string why =
      std::string(cfx::kQueueFile) + " cannot be written (" +
      platform::not_ours_to_write(queue_->path()).value_or("opened for reading only") + ")";
  std::fprintf(stderr,
               "ffsload-cfx: %s: nothing is sent until it can be, or every start would send "
               "the whole queue again (%s)\n",
               why.c_str(), queue_->path().c_str());
  note_failing(why);
  return false;
}

void QueueSender::begin() {
  add_own(cfx::endpoint_connected(
      cfx::Sender{config_.facts.handle}, platform::utc_now_ms(), config_.facts.request_uri,
      config_.facts.request_uri.empty() ? std::string() : config_.facts.handle));
  next_heartbeat_ms_ = platform::monotonic_ms() + config_.settings.heartbeat_s * 1000L;
  connect();
}

void QueueSender::connect() {
  reconnecting_ = false;
  if (stopping_ && finished_) return;
  connection_ =
      container_->connect(connect_address(config_.settings.broker),
                          connection_options_for(config_.settings.broker, config_.password,
                                                 kIdleTimeoutMs, config_.tls));
}

bool QueueSender::mine(const proton::connection& c) const {
  return connection_ && c == connection_;
}

void QueueSender::on_connection_open(proton::connection& c) {
  if (!mine(c)) return;
  // The link is opened again on every connection: Proton does not.
  sender_ =
      c.open_sender(config_.settings.target,
                    proton::sender_options().delivery_mode(proton::delivery_mode::AT_LEAST_ONCE));
}

void QueueSender::on_sender_open(proton::sender& s) {
  if (!mine(s.connection()) || s != sender_) return;
  linked_ = true;
  backoff_ms_ = 1000;
  if (removal_error_.empty()) note_delivering();
  if (last_said_ != "linked") {
    std::fprintf(stderr, "ffsload-cfx: delivering to %s at %s\n", config_.settings.target.c_str(),
                 cfx::redacted_url(config_.settings.broker_url).c_str());
    last_said_ = "linked";
  }
  pump();
}

void QueueSender::on_sendable(proton::sender& s) {
  if (s == sender_) pump();
}

bool QueueSender::refill() {
  // The first messages waiting are the ones in flight; those after them are
  // the next to hand over.
  // (and the accepted ones not yet removed)
  const int limit = static_cast<int>(in_flight_.size() + accepted_.size()) + config_.window;
  for (auto& m : queue_->waiting(limit)) {
    if (m.seq > last_handed_seq_ &&
        std::find(accepted_.begin(), accepted_.end(), m.seq) == accepted_.end())
      ready_.push_back(std::move(m));
  }
  return !ready_.empty();
}

void QueueSender::pump() {
  // While accepted messages cannot leave the queue, no more are handed over:
  // each would be sent again by the next sender.
  if (!linked_ || !removal_error_.empty()) return;
  while (sender_.credit() > 0 && static_cast<int>(in_flight_.size()) < config_.window) {
    if (ready_.empty() && !refill()) break;
    cfx::QueuedMessage m = std::move(ready_.front());
    ready_.pop_front();
    proton::tracker t = sender_.send(amqp_message(m, config_.facts.handle));
    in_flight_.push_back(InFlight{m.seq, t, platform::monotonic_ms()});
    last_handed_seq_ = m.seq;
  }
}

void QueueSender::settle(const proton::tracker& t, bool accepted, const std::string& reason) {
  if (!mine(t.connection())) return;
  const auto it = std::find_if(in_flight_.begin(), in_flight_.end(),
                               [&](const InFlight& f) { return f.tracker == t; });
  if (it == in_flight_.end()) return;
  if (accepted) {
    // Removed in batches, one write to the disk for many: an accepted
    // message whose removal a crash loses is sent again, and receivers drop
    // the duplicate by its UniqueID.
    accepted_.push_back(it->seq);
  } else {
    remove_accepted();
    if (!queue_->set_aside(it->seq, reason))
      std::fprintf(stderr, "ffsload-cfx: the queue: %s\n", queue_->last_error().c_str());
    std::fprintf(stderr, "ffsload-cfx: message %lld set aside: %s\n",
                 static_cast<long long>(it->seq), reason.c_str());
  }
  in_flight_.erase(it);
  // The batch goes when it is full or nothing else is awaited.
  if (static_cast<int>(accepted_.size()) >= kRemoveBatch || in_flight_.empty()) remove_accepted();
  pump();
}

void QueueSender::remove_accepted() {
  if (accepted_.empty()) return;
  // Kept and tried again when they cannot be removed (a full disk, a file
  // made read-only), and said once: they are not sent again meanwhile.
  if (!queue_->remove(accepted_, platform::utc_now_ms())) {
    if (queue_->last_error() != removal_error_) {
      removal_error_ = queue_->last_error();
      std::fprintf(stderr,
                   "ffsload-cfx: the queue: %s; delivered messages wait to leave it and no "
                   "more are sent meanwhile\n",
                   removal_error_.c_str());
      note_failing("delivered messages cannot leave the queue: " + removal_error_);
    }
    return;
  }
  accepted_.clear();
  if (!removal_error_.empty()) {
    removal_error_.clear();
    if (linked_) note_delivering();
  }
}

void QueueSender::on_tracker_accept(proton::tracker& t) {
  settle(t, true, "");
}

void QueueSender::on_tracker_reject(proton::tracker& t) {
  std::string reason = "the broker rejected it";
  if (const std::string why = condition_text(sender_.error()); !why.empty()) reason += ": " + why;
  settle(t, false, reason);
}

void QueueSender::on_tracker_release(proton::tracker& t) {
  // Released or modified: the broker did not take it, and may take it later.
  // Sending it again now, after the ones behind it, would break the order:
  // take everything back over a new connection.
  if (!mine(t.connection())) return;
  lost("the broker released a message");
  if (connection_) connection_.close();
}

void QueueSender::lost(const std::string& why) {
  const bool was_linked = linked_;
  linked_ = false;
  // What the broker accepted leaves the queue before the rest is taken back.
  remove_accepted();
  // Every message not accepted is taken back, and goes again in order.
  in_flight_.clear();
  ready_.clear();
  last_handed_seq_ = 0;
  if (reconnecting_ || finished_) return;
  reconnecting_ = true;
  note_failing(why);
  const std::string said = "lost:" + why;
  if (was_linked || last_said_ != said) {
    std::fprintf(stderr, "ffsload-cfx: broker %s: %s; trying again in %d s\n",
                 cfx::redacted_url(config_.settings.broker_url).c_str(), why.c_str(),
                 backoff_ms_ / 1000);
    last_said_ = said;
  }
  // Made again from tick(): a timer of its own would hold a stopping
  // sender up for the whole back-off.
  reconnect_at_ms_ = platform::monotonic_ms() + backoff_ms_;
  backoff_ms_ = std::min(backoff_ms_ * 2, config_.max_backoff_ms);
}

void QueueSender::on_transport_error(proton::transport& t) {
  if (!mine(t.connection())) return;
  lost(condition_text(t.error()));
}

void QueueSender::on_transport_close(proton::transport& t) {
  if (!mine(t.connection())) return;
  lost("the connection closed");
}

void QueueSender::on_connection_error(proton::connection& c) {
  if (!mine(c)) return;
  lost(condition_text(c.error()));
  c.close();
}

void QueueSender::on_sender_error(proton::sender& s) {
  if (s != sender_) return;
  lost("the broker closed the link to " + config_.settings.target + ": " +
       condition_text(s.error()));
  s.connection().close();
}

void QueueSender::on_sender_close(proton::sender& s) {
  if (s != sender_ || finished_) return;
  lost("the broker closed the link to " + config_.settings.target);
  s.connection().close();
}

// RabbitMQ refuses a link to a missing exchange by ending the session, not
// the link: without these the sender would wait on that connection forever.
void QueueSender::on_session_error(proton::session& s) {
  if (!mine(s.connection())) return;
  lost("the broker refused the link to " + config_.settings.target + ": " +
       condition_text(s.error()));
  s.connection().close();
}

void QueueSender::on_session_close(proton::session& s) {
  if (!mine(s.connection()) || finished_) return;
  lost("the broker ended the session of the link to " + config_.settings.target);
  s.connection().close();
}

void QueueSender::note_failing(const std::string& why) {
  if (failing_since_ms_ == 0)
    failing_since_ms_ = platform::utc_now_ms();
  else if (why == failing_reason_)
    return;
  failing_reason_ = why;
  std::string error;
  if (!cfx::write_delivery_failing(config_.station_folder,
                                   cfx::DeliveryFailing{failing_since_ms_, why}, &error))
    std::fprintf(stderr, "ffsload-cfx: %s\n", error.c_str());
}

void QueueSender::note_delivering() {
  if (failing_since_ms_ == 0) return;
  failing_since_ms_ = 0;
  failing_reason_.clear();
  std::string error;
  if (!cfx::clear_delivery_failing(config_.station_folder, &error))
    std::fprintf(stderr, "ffsload-cfx: %s\n", error.c_str());
}

void QueueSender::on_error(const proton::error_condition& e) {
  std::fprintf(stderr, "ffsload-cfx: %s\n", condition_text(e).c_str());
}

void QueueSender::add_own(const cfx::Envelope& e) {
  std::string error;
  const cfx::Envelope one[] = {e};
  if (!queue_->add(one, &error)) {
    std::fprintf(stderr, "ffsload-cfx: cannot queue %s: %s\n", e.message_name.c_str(),
                 error.c_str());
  }
}

void QueueSender::tick() {
  if (finished_) return;
  const long now = platform::monotonic_ms();
  if (read_only_) {
    if (config_.stop_requested && config_.stop_requested()) {
      finish();
      return;
    }
    if (queue_writable()) begin();
    if (config_.on_tick) config_.on_tick();
    container_->schedule(proton::duration(kTickMs), [this] { tick(); });
    return;
  }
  if (!stopping_ && config_.stop_requested && config_.stop_requested()) {
    stopping_ = true;
    stop_deadline_ms_ = now + config_.drain_on_stop_ms;
    add_own(cfx::endpoint_shutting_down(cfx::Sender{config_.facts.handle}, platform::utc_now_ms()));
  }
  // A heartbeat says the station is there now: one is queued only while the
  // broker takes messages, so a station that was away does not send a day of
  // stale ones when it comes back.
  if (!stopping_ && now >= next_heartbeat_ms_) {
    next_heartbeat_ms_ = now + config_.settings.heartbeat_s * 1000L;
    if (linked_)
      add_own(cfx::heartbeat(cfx::Sender{config_.facts.handle}, platform::utc_now_ms(),
                             config_.settings.heartbeat_s, cfx::active_faults(*queue_)));
  }
  if (linked_ && !in_flight_.empty() && now - in_flight_.front().sent_ms > kSettleTimeoutMs) {
    lost("the broker settled nothing for " + std::to_string(kSettleTimeoutMs / 1000) + " s");
    connection_.close();
  }
  remove_accepted();
  if (now >= next_tidy_ms_) {
    next_tidy_ms_ = now + kTidyEveryMs;
    if (!queue_->tidy(platform::utc_now_ms()) && queue_->last_error() != last_tidy_error_) {
      last_tidy_error_ = queue_->last_error();
      std::fprintf(stderr, "ffsload-cfx: the queue: %s\n", last_tidy_error_.c_str());
    }
  }
  if (config_.on_tick) config_.on_tick();
  if (reconnecting_ && now >= reconnect_at_ms_) connect();
  pump();
  if (stopping_) {
    const bool drained = in_flight_.empty() && ready_.empty() && queue_->waiting(1).empty();
    if (drained || now >= stop_deadline_ms_) {
      finish();
      return;
    }
  }
  container_->schedule(proton::duration(kTickMs), [this] { tick(); });
}

void QueueSender::finish() {
  if (queue_) remove_accepted();
  finished_ = true;
  linked_ = false;
  if (connection_) connection_.close();
  container_->stop();
}

}  // namespace cfxnet
