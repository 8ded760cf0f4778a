#include "cfxnet/validate_client.h"

#include <proton/connection.hpp>
#include <proton/container.hpp>
#include <proton/delivery.hpp>
#include <proton/duration.hpp>
#include <proton/error_condition.hpp>
#include <proton/message.hpp>
#include <proton/messaging_handler.hpp>
#include <proton/receiver.hpp>
#include <proton/receiver_options.hpp>
#include <proton/sender.hpp>
#include <proton/source_options.hpp>
#include <proton/tracker.hpp>
#include <proton/transport.hpp>
#include <proton/work_queue.hpp>

#include "cfxnet/amqp_framing.h"
#include "platform/calendar.h"
#include "platform/child_process.h"

namespace cfxnet {

namespace {

constexpr int kStepMs = 20;

std::string condition_text(const proton::error_condition& e) {
  if (!e) return "the connection closed";
  std::string text = e.name();
  if (!e.description().empty()) text += ": " + e.description();
  return text;
}

class Asker : public proton::messaging_handler {
 public:
  Asker(const cfx::Settings& settings, std::string password, const cfx::ValidationAsk& ask,
        int timeout_ms, const proton::ssl_client_options& tls)
      : settings_(settings), password_(std::move(password)), timeout_ms_(timeout_ms), tls_(tls) {
    request_ = cfx::validate_units_request(ask, platform::utc_now_ms());
    // The reply link's own address: the station's handle and this request,
    // so that two ports asking at once never share one.
    reply_to_ = ask.handle + "/" + request_.request_id.value_or("");
    verdict_.kind = cfx::MesVerdict::Kind::kNoAnswer;
    verdict_.message =
        "the MES did not answer within " + std::to_string((timeout_ms + 999) / 1000) + " s";
  }

  void on_container_start(proton::container& c) override {
    std::string why;
    const auto url = cfx::parse_amqp_url(settings_.mes_url, &why);
    if (!url) {
      end(cfx::MesVerdict::Kind::kFailed, "cfx-mes: " + why, c);
      return;
    }
    where_ = url->host + ":" + std::to_string(url->port);
    connection_ =
        c.connect(connect_address(*url), connection_options_for(*url, password_, 0, tls_));
    deadline_ms_ = platform::monotonic_ms() + timeout_ms_;
    watch(c);
  }

  // Short steps rather than one timer for the whole wait: a pending timer
  // keeps the container running after it was stopped.
  void watch(proton::container& c) {
    if (done_) return;
    if (platform::monotonic_ms() >= deadline_ms_) {
      end(verdict_.kind, verdict_.message, c);
      return;
    }
    c.schedule(proton::duration(kStepMs), [this, &c] { watch(c); });
  }

  void on_connection_open(proton::connection& c) override {
    c.open_receiver("",
                    proton::receiver_options().source(proton::source_options().address(reply_to_)));
  }

  void on_receiver_open(proton::receiver& r) override {
    // The reply link is there before the request leaves, so the answer has
    // somewhere to go.
    sender_ = r.connection().open_sender(settings_.mes_handle);
  }

  void on_sendable(proton::sender& s) override {
    if (sent_ || s != sender_) return;
    proton::message m = amqp_message(request_, platform::utc_now_ms());
    m.reply_to(reply_to_);
    s.send(m);
    sent_ = true;
  }

  void on_message(proton::delivery& d, proton::message& m) override {
    // The first answer to this request decides: answers that arrive with it
    // (in the same segment) or after it change nothing, so that a Failed
    // followed by a Passed can never load the unit.
    if (done_) return;
    const auto verdict = cfx::read_validate_reply(body_text(m), request_.request_id.value_or(""));
    if (!verdict) return;  // another request's answer
    verdict_ = *verdict;
    end(verdict_.kind, verdict_.message, d.container());
  }

  void on_transport_error(proton::transport& t) override {
    if (!done_)
      end(cfx::MesVerdict::Kind::kFailed,
          "cannot reach the MES at " + where_ + ": " + condition_text(t.error()),
          t.connection().container());
  }
  void on_connection_error(proton::connection& c) override {
    if (!done_)
      end(cfx::MesVerdict::Kind::kFailed,
          "the MES closed the connection: " + condition_text(c.error()), c.container());
  }
  void on_sender_error(proton::sender& s) override {
    if (!done_)
      end(cfx::MesVerdict::Kind::kFailed,
          "the MES refused the address " + settings_.mes_handle + ": " + condition_text(s.error()),
          s.container());
  }
  void on_receiver_error(proton::receiver& r) override {
    if (!done_)
      end(cfx::MesVerdict::Kind::kFailed,
          "the MES refused the reply address: " + condition_text(r.error()), r.container());
  }

  const cfx::MesVerdict& verdict() const { return verdict_; }

 private:
  void end(cfx::MesVerdict::Kind kind, const std::string& message, proton::container& c) {
    done_ = true;
    verdict_.kind = kind;
    verdict_.message = message;
    if (connection_) connection_.close();
    c.stop();
  }

  const cfx::Settings& settings_;
  std::string password_;
  int timeout_ms_;
  proton::ssl_client_options tls_;
  cfx::Envelope request_;
  std::string reply_to_;
  std::string where_;
  proton::connection connection_;
  proton::sender sender_;
  long deadline_ms_ = 0;
  bool sent_ = false;
  bool done_ = false;
  cfx::MesVerdict verdict_;
};

class Prober : public proton::messaging_handler {
 public:
  Prober(const cfx::Settings& settings, std::string password, int timeout_ms,
         const proton::ssl_client_options& tls)
      : settings_(settings), password_(std::move(password)), timeout_ms_(timeout_ms), tls_(tls) {}

  void on_container_start(proton::container& c) override {
    connection_ = c.connect(connect_address(settings_.broker),
                            connection_options_for(settings_.broker, password_, 0, tls_));
    deadline_ms_ = platform::monotonic_ms() + timeout_ms_;
    watch(c);
  }
  void watch(proton::container& c) {
    if (done_) return;
    if (platform::monotonic_ms() >= deadline_ms_) {
      end("no answer within " + std::to_string(timeout_ms_ / 1000) + " s", c);
      return;
    }
    c.schedule(proton::duration(kStepMs), [this, &c] { watch(c); });
  }
  void on_connection_open(proton::connection& c) override { end("", c.container()); }
  void on_transport_error(proton::transport& t) override {
    if (!done_) end(condition_text(t.error()), t.connection().container());
  }
  void on_connection_error(proton::connection& c) override {
    if (!done_) end(condition_text(c.error()), c.container());
  }

  const std::string& why() const { return why_; }

 private:
  void end(const std::string& why, proton::container& c) {
    done_ = true;
    why_ = why;
    if (connection_) connection_.close();
    c.stop();
  }

  const cfx::Settings& settings_;
  std::string password_;
  int timeout_ms_;
  proton::ssl_client_options tls_;
  proton::connection connection_;
  long deadline_ms_ = 0;
  bool done_ = false;
  std::string why_;
};

}  // namespace

cfx::MesVerdict ask_mes(const cfx::Settings& settings, const std::string& password,
                        const cfx::ValidationAsk& ask, int timeout_ms,
                        const proton::ssl_client_options& tls) {
  Asker asker(settings, password, ask, timeout_ms, tls);
  proton::container container(asker);
  try {
    container.run();
  } catch (const std::exception& e) {
    return cfx::MesVerdict{cfx::MesVerdict::Kind::kFailed, 0, e.what()};
  }
  return asker.verdict();
}

std::string probe_broker(const cfx::Settings& settings, const std::string& password, int timeout_ms,
                         const proton::ssl_client_options& tls) {
  Prober prober(settings, password, timeout_ms, tls);
  proton::container container(prober);
  try {
    container.run();
  } catch (const std::exception& e) {
    return e.what();
  }
  return prober.why();
}

}  // namespace cfxnet
