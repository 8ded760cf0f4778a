#include "cfxnet/tls_options.h"

#include <exception>

#include "platform/this_process.h"
#include "text/hidden_characters.h"

namespace cfxnet {

namespace {

// Where Debian keeps the system's CAs: the trust of a client that shows the
// station's certificate but was given no CA of its own.
constexpr const char* kSystemCaFolder = "/etc/ssl/certs";

std::string quoted(const std::string& path) {
  return "\"" + text::shown_visibly(path) + "\"";
}

}  // namespace

std::optional<StationTls> station_tls(const cfx::Settings& settings, std::string* why) {
  if (const auto problems = cfx::unreadable_tls_files(settings); !problems.empty()) {
    *why = problems.front();
    for (std::size_t i = 1; i < problems.size(); ++i) *why += "; " + problems[i];
    return std::nullopt;
  }
  const bool own = !settings.tls_cert.empty() && !settings.tls_key.empty();
  const bool ca = !settings.tls_ca.empty();
  if (ca) {
    // Read by OpenSSL when a context is made: pointed at the CA alone, so
    // that the system's CAs never join it (see the header).
    if (!platform::set_environment("SSL_CERT_FILE", settings.tls_ca) ||
        !platform::set_environment("SSL_CERT_DIR", "")) {
      *why = "cannot leave the system's CAs out of the trusted ones for cfx-tls-ca";
      return std::nullopt;
    }
  }
  // Each file tried on its own first, so that the setting at fault is named.
  if (ca) {
    try {
      proton::ssl_client_options probe(settings.tls_ca, proton::ssl::VERIFY_PEER_NAME);
    } catch (const std::exception&) {
      *why = "cfx-tls-ca " + quoted(settings.tls_ca) +
             " holds no certificate that OpenSSL can read (PEM: \"-----BEGIN CERTIFICATE-----\")";
      return std::nullopt;
    }
  }
  std::optional<proton::ssl_certificate> certificate;
  if (own) {
    certificate.emplace(settings.tls_cert, settings.tls_key);
    try {
      proton::ssl_server_options probe(*certificate);
    } catch (const std::exception&) {
      *why = "cfx-tls-cert " + quoted(settings.tls_cert) + " and cfx-tls-key " +
             quoted(settings.tls_key) +
             " are not a PEM certificate and its own private key (a key with a passphrase is "
             "not taken); \"openssl x509 -noout -in CERT\" and \"openssl pkey -noout -in KEY\" "
             "show which file is at fault";
      return std::nullopt;
    }
  }
  try {
    StationTls tls;
    if (own) {
      tls.client = proton::ssl_client_options(*certificate, ca ? settings.tls_ca : kSystemCaFolder,
                                              proton::ssl::VERIFY_PEER_NAME);
      if (ca) {
        // The peer must show a certificate the CA signed, and the CA is
        // the one named to it as the signer it takes.
        tls.server = proton::ssl_server_options(*certificate, settings.tls_ca, settings.tls_ca,
                                                proton::ssl::VERIFY_PEER);
      } else {
        tls.server = proton::ssl_server_options(*certificate);
      }
    } else if (ca) {
      tls.client = proton::ssl_client_options(settings.tls_ca, proton::ssl::VERIFY_PEER_NAME);
    } else {
      tls.client = proton::ssl_client_options(proton::ssl::VERIFY_PEER_NAME);
    }
    return tls;
  } catch (const std::exception& e) {
    *why = std::string("the cfx-tls-* files cannot be used together: ") + e.what();
    return std::nullopt;
  }
}

}  // namespace cfxnet
