// A CFX message as AMQP 1.0 carries it, as the standard's SDK sends it: the
// envelope's UTF-8 bytes in one data section, durable, with the properties
// and application properties a CFX receiver routes and filters by.
#pragma once

#include <cstdint>
#include <proton/connection_options.hpp>
#include <proton/message.hpp>
#include <proton/ssl.hpp>
#include <string>

#include "cfx/cfx_settings.h"
#include "cfx/envelope.h"
#include "cfx/queue.h"

namespace cfxnet {

// A queued message for the broker, sent by the endpoint `handle`.
proton::message amqp_message(const cfx::QueuedMessage& queued, const std::string& handle);
// A message straight to another endpoint (a request or a reply).
proton::message amqp_message(const cfx::Envelope& envelope, std::int64_t created_ms);

// The message's body as bytes, whether a data section or an AMQP string.
std::string body_text(const proton::message& message);

// How to open a connection for `url` (cfx-broker or cfx-mes's URL): SASL
// ANONYMOUS without a user, PLAIN with the user and `password`, TLS with
// `tls` for amqps, the virtual host; `idle_timeout_ms` lets a dead peer be
// noticed.
proton::connection_options connection_options_for(const cfx::AmqpUrl& url,
                                                  const std::string& password, int idle_timeout_ms,
                                                  const proton::ssl_client_options& tls);
// "amqp://host:port", what Proton connects to (never a user or password).
std::string connect_address(const cfx::AmqpUrl& url);

}  // namespace cfxnet
