// The station's TLS as Proton takes it, made once from the cfx-tls-*
// settings: Proton reads the files when the options are made, so a file
// that is not a certificate, a key that is not the certificate's, or a CA
// file with no certificate in it is said before anything connects.
//
// OpenSSL's contexts start out trusting the system's CAs, and Proton only
// adds cfx-tls-ca to them: a request port told to take only the MES's
// certificate would take any certificate a public CA signed. So with a CA
// set, the system's CAs are left out of this process altogether: the
// broker, the MES and the requesters are each verified against cfx-tls-ca
// alone.
#pragma once

#include <optional>
#include <proton/ssl.hpp>
#include <string>

#include "cfx/cfx_settings.h"

namespace cfxnet {

struct StationTls {
  // For amqps:// connections (cfx-broker, cfx-mes): the server's name and
  // certificate verified; the station's certificate shown when it has one.
  proton::ssl_client_options client;
  // For the request port; nullopt: it speaks plain AMQP.
  std::optional<proton::ssl_server_options> server;
};

// nullopt with *why (naming the setting and what to do) when a file cannot
// be read or used. Call before any connection is made, and only once per
// process: it decides which CAs the process trusts.
std::optional<StationTls> station_tls(const cfx::Settings& settings, std::string* why);

}  // namespace cfxnet
