// The station's IPC-CFX settings in "ffsload.conf": where the broker is, the
// address to publish to, the station's handle, the heartbeat, and the MES's
// word before a unit is loaded. All off until "cfx-broker" is set, so a
// station without them runs as it always has. A password is never a setting:
// it comes from "cfx-password-file" or FFSLOAD_CFX_PASSWORD, and no message,
// title or error shows it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cfx {

enum class Validate { kOff, kRequired, kAdvisory };

// An AMQP URL taken apart: amqp://[user@]host[:port][/vhost], amqps:// for TLS.
struct AmqpUrl {
  bool tls = false;
  std::string user;  // empty: SASL ANONYMOUS
  std::string host;
  int port = 5672;    // 5671 for amqps
  std::string vhost;  // empty: the broker's default
};

struct Settings {
  bool enabled = false;    // cfx-broker set
  std::string broker_url;  // amqp://[user@]host[:port][/vhost] or amqps://
  AmqpUrl broker;          // broker_url taken apart
  std::string password_file;
  std::string target = "/exchange/cfx";
  std::string handle;    // default "FFSLoad.ffsload.<host name>"
  int heartbeat_s = 60;  // 1..300
  Validate validate = Validate::kOff;
  std::string mes_url;  // cfx-mes = URL HANDLE
  std::string mes_handle;
  int validate_timeout_s = 5;
  std::string listen;  // ADDR:PORT, empty = off
  // The MES handles the responder answers; empty: any requester.
  std::vector<std::string> mes_handles;
  // TLS: the station's certificate (PEM, its chain after it) and its key
  // (PEM, not encrypted), and the CA that signs the peers' certificates.
  // With the certificate and key the request port speaks TLS only; with the
  // CA too it takes only a peer whose certificate that CA signed. amqps://
  // connections (cfx-broker, cfx-mes) verify the server against the CA, or
  // the system's CAs without one, and show the station's certificate.
  std::string tls_cert;
  std::string tls_key;
  std::string tls_ca;
};

constexpr int kDefaultHeartbeatS = 60;
constexpr int kLongestHeartbeatS = 300;
constexpr int kLongestValidateTimeoutS = 120;

// Whether `key` is one of the settings above.
bool is_cfx_key(const std::string& key);

// Takes one "KEY = VALUE" line of a cfx key into *settings. Returns "" when
// the value is good, else the problem in words ("cfx-heartbeat: \"0\" is not
// a number of seconds from 1 to 300"); a bad value leaves the setting as it
// was. Never quotes a password.
std::string read_cfx_setting(Settings* settings, const std::string& key, const std::string& value);

// After every line: the defaults that depend on the host (the handle) and
// the findings that need several settings together (cfx-validate without
// cfx-mes). `enabled` follows cfx-broker.
std::vector<std::string> finish_cfx_settings(Settings* settings);

// Takes an AMQP URL apart; nullopt with *why when it is not one. A password
// in the URL is refused (it would show wherever the URL is shown).
std::optional<AmqpUrl> parse_amqp_url(const std::string& url, std::string* why);

// The URL with any password written as "***", for a message.
std::string redacted_url(const std::string& url);

// The handle a station gets without "cfx-handle": "FFSLoad.ffsload." and the
// host's name up to its first dot (a handle is Vendor.Model.Serial).
std::string default_handle();

// Whether cfx-listen takes requests on every address of the host (0.0.0.0,
// ::), where anything on any network the station is on reaches it.
bool listens_everywhere(const Settings& settings);

// Whether the request port speaks TLS (cfx-tls-cert and cfx-tls-key set).
bool serves_tls(const Settings& settings);

// Whether the request port takes only peers whose certificate cfx-tls-ca
// signed: the one setting that authenticates the MES, not just its words.
bool verifies_peers(const Settings& settings);

// The cfx-tls-* files this user cannot read, each said with why
// ("cfx-tls-key \"/etc/ffsload/st4.key\" cannot be read: Permission denied").
std::vector<std::string> unreadable_tls_files(const Settings& settings);

// Why the amqps:// URL of `key` (cfx-broker, cfx-mes) cannot be verified,
// "" when it can or is not amqps://: with a virtual host, the AMQP library
// would check the server's certificate against the virtual host's name.
// Not a setting problem: runs go on queueing while it is put right, and the
// connection that needs it refuses to start.
std::string unverifiable_tls_url(const std::string& key, const std::string& url);

// The request port as peers are told it (RequestNetworkUri): "amqp://"
// ("amqps://" with TLS) and cfx-listen, or, when that is every address,
// `host_address` (the host's address on the factory's network, or its name)
// with the port: a peer cannot connect to 0.0.0.0. "" when the station listens on no port.
std::string request_network_uri(const Settings& settings, const std::string& host_address);

// "off", "required", "advisory"
const char* validate_name(Validate validate);

// The password for the broker: the first line of `password_file` when one is
// set, else FFSLOAD_CFX_PASSWORD; nullopt when there is none. *error says
// why a set file cannot be read (without its content).
std::optional<std::string> broker_password(const Settings& settings, std::string* error);

}  // namespace cfx
