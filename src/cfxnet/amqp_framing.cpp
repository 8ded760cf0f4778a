#include "cfxnet/amqp_framing.h"

#include <proton/binary.hpp>
#include <proton/duration.hpp>
#include <proton/message_id.hpp>
#include <proton/null.hpp>
#include <proton/scalar.hpp>
#include <proton/ssl.hpp>
#include <proton/timestamp.hpp>
#include <proton/value.hpp>

namespace cfxnet {

namespace {

constexpr const char* kContentType = "application/json; charset=\"utf-8\"";

proton::message framed(const std::string& json, const std::string& unique_id,
                       const std::string& message_name, const std::string& subject,
                       const std::string& handle, const std::string& target,
                       const std::string& request_id, std::int64_t created_ms) {
  proton::message m;
  m.body(proton::binary(json.begin(), json.end()));
  // A binary body goes out as a data section only when inferred.
  m.inferred(true);
  m.durable(true);
  m.id(proton::message_id(unique_id));
  m.content_type(kContentType);
  m.subject(subject);
  m.creation_time(proton::timestamp(created_ms));
  m.reply_to(handle);
  if (!target.empty()) m.to(target);
  if (!request_id.empty()) m.correlation_id(proton::message_id(request_id));
  auto& props = m.properties();
  props.put("cfx-topic", cfx::topic_of(message_name));
  props.put("cfx-message", message_name);
  props.put("cfx-handle", handle);
  // A message for no endpoint in particular carries a null target.
  if (target.empty())
    props.put("cfx-target", proton::scalar(proton::null()));
  else
    props.put("cfx-target", target);
  return m;
}

}  // namespace

proton::message amqp_message(const cfx::QueuedMessage& q, const std::string& handle) {
  return framed(q.json, q.unique_id, q.message_name, q.subject, handle, q.target, q.request_id,
                q.queued_at_ms);
}

proton::message amqp_message(const cfx::Envelope& e, std::int64_t created_ms) {
  return framed(cfx::envelope_json(e), e.unique_id, e.message_name, e.source + "." + e.message_name,
                e.source, e.target.value_or(""), e.request_id.value_or(""), created_ms);
}

std::string body_text(const proton::message& message) {
  const proton::value& body = message.body();
  if (body.type() == proton::BINARY) {
    const auto bytes = proton::get<proton::binary>(body);
    return std::string(bytes.begin(), bytes.end());
  }
  if (body.type() == proton::STRING) return proton::get<std::string>(body);
  return {};
}

proton::connection_options connection_options_for(const cfx::AmqpUrl& url,
                                                  const std::string& password, int idle_timeout_ms,
                                                  const proton::ssl_client_options& tls) {
  proton::connection_options o;
  o.sasl_enabled(true);
  if (url.user.empty()) {
    o.sasl_allowed_mechs("ANONYMOUS");
  } else {
    o.user(url.user);
    o.password(password);
    o.sasl_allowed_mechs("PLAIN");
    // PLAIN over plain TCP: the line's own network decides, as for the
    // records' server; amqps:// encrypts it.
    o.sasl_allow_insecure_mechs(true);
  }
  // RabbitMQ's AMQP 1.0 plugin takes the virtual host from the open frame's
  // host name when it is written "vhost:NAME".
  if (!url.vhost.empty())
    o.virtual_host(url.vhost.find(':') == std::string::npos ? "vhost:" + url.vhost : url.vhost);
  if (url.tls) o.ssl_client_options(tls);
  if (idle_timeout_ms > 0) o.idle_timeout(proton::duration(idle_timeout_ms));
  return o;
}

std::string connect_address(const cfx::AmqpUrl& url) {
  return std::string(url.tls ? "amqps://" : "amqp://") + url.host + ":" + std::to_string(url.port);
}

}  // namespace cfxnet
