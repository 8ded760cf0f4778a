// Asks the MES endpoint (cfx-mes) whether a unit may be loaded, as the
// standard's requests go, straight to it and not through the broker: a
// sender to the MES's address (its handle), a receiver for the reply whose
// address the request names in reply-to, and the reply matched by its
// RequestID. Waits at most the timeout.
#pragma once

#include <proton/ssl.hpp>
#include <string>

#include "cfx/cfx_settings.h"
#include "cfx/unit_validation.h"

namespace cfxnet {

// `tls` for an amqps:// URL (cfxnet::station_tls).
cfx::MesVerdict ask_mes(const cfx::Settings& settings, const std::string& password,
                        const cfx::ValidationAsk& ask, int timeout_ms,
                        const proton::ssl_client_options& tls);

// Whether the broker takes a connection within timeout_ms: "" when it did,
// else why not.
std::string probe_broker(const cfx::Settings& settings, const std::string& password, int timeout_ms,
                         const proton::ssl_client_options& tls);

}  // namespace cfxnet
