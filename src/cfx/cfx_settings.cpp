#include "cfx/cfx_settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/this_process.h"
#include "text/hidden_characters.h"

namespace cfx {

namespace {

// Quoted for a message: hidden characters written out, a long value cut.
std::string quoted(const std::string& value) {
  std::size_t cut = value.size() > 80 ? 80 : value.size();
  while (cut < value.size() && cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  return "\"" + text::shown_visibly(std::string_view(value).substr(0, cut)) +
         (cut < value.size() ? "..." : "") + "\"";
}

std::optional<int> whole_number(const std::string& value, int lowest, int highest) {
  if (value.empty() || value.size() > 6 ||
      value.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const int n = std::stoi(value);
  if (n < lowest || n > highest) return std::nullopt;
  return n;
}

bool printable_ascii(const std::string& text) {
  for (const char c : text) {
    if (c <= ' ' || c > '~') return false;
  }
  return true;
}

std::optional<int> port_number(const std::string& text) {
  return whole_number(text, 1, 65535);
}

// "host:port" or "[v6]:port"; nullopt when either part is missing or bad.
bool split_host_port(const std::string& text, std::string* host, std::string* port) {
  if (!text.empty() && text[0] == '[') {
    const auto close = text.find(']');
    if (close == std::string::npos) return false;
    *host = text.substr(1, close - 1);
    if (close + 1 == text.size()) return true;
    if (text[close + 1] != ':') return false;
    *port = text.substr(close + 2);
    return true;
  }
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) {
    *host = text;
    return true;
  }
  *host = text.substr(0, colon);
  *port = text.substr(colon + 1);
  return true;
}

constexpr const char* kKeys[] = {"cfx-broker",      "cfx-password-file",    "cfx-target",
                                 "cfx-handle",      "cfx-heartbeat",        "cfx-validate",
                                 "cfx-mes",         "cfx-validate-timeout", "cfx-listen",
                                 "cfx-mes-handles", "cfx-tls-cert",         "cfx-tls-key",
                                 "cfx-tls-ca"};

bool is_handle(const std::string& text) {
  return !text.empty() && printable_ascii(text) && text.size() <= 128;
}

}  // namespace

bool is_cfx_key(const std::string& key) {
  for (const char* k : kKeys) {
    if (key == k) return true;
  }
  return false;
}

const char* validate_name(Validate validate) {
  switch (validate) {
    case Validate::kOff:
      return "off";
    case Validate::kRequired:
      return "required";
    case Validate::kAdvisory:
      break;
  }
  return "advisory";
}

std::optional<AmqpUrl> parse_amqp_url(const std::string& url, std::string* why) {
  AmqpUrl result;
  std::string rest;
  if (url.rfind("amqp://", 0) == 0) {
    rest = url.substr(7);
  } else if (url.rfind("amqps://", 0) == 0) {
    rest = url.substr(8);
    result.tls = true;
    result.port = 5671;
  } else {
    *why = "does not start with amqp:// or amqps://";
    return std::nullopt;
  }
  if (!printable_ascii(rest)) {
    *why = "holds a space or a character that is not printable ASCII";
    return std::nullopt;
  }
  const auto slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  if (slash != std::string::npos) result.vhost = rest.substr(slash + 1);
  const auto at = authority.rfind('@');
  if (at != std::string::npos) {
    result.user = authority.substr(0, at);
    authority = authority.substr(at + 1);
    if (result.user.find(':') != std::string::npos) {
      *why = "holds a password: put it in cfx-password-file or FFSLOAD_CFX_PASSWORD";
      return std::nullopt;
    }
    if (result.user.empty()) {
      *why = "has an empty user before '@'";
      return std::nullopt;
    }
  }
  std::string port;
  if (!split_host_port(authority, &result.host, &port) || result.host.empty()) {
    *why = "has no host";
    return std::nullopt;
  }
  if (!port.empty() || authority.back() == ':') {
    const auto n = port_number(port);
    if (!n) {
      *why = "has a port that is not a number from 1 to 65535";
      return std::nullopt;
    }
    result.port = *n;
  }
  return result;
}

std::string redacted_url(const std::string& url) {
  const auto scheme = url.find("://");
  if (scheme == std::string::npos) return url;
  const auto start = scheme + 3;
  const auto slash = url.find('/', start);
  const auto at = url.rfind('@', slash == std::string::npos ? std::string::npos : slash);
  if (at == std::string::npos || at < start) return url;
  const auto colon = url.find(':', start);
  if (colon == std::string::npos || colon > at) return url;
  return url.substr(0, colon + 1) + "***" + url.substr(at);
}

std::string default_handle() {
  std::string host = platform::host_name();
  host = host.substr(0, host.find('.'));
  if (host.empty()) host = "station";
  return "FFSLoad.ffsload." + host;
}

std::string read_cfx_setting(Settings* s, const std::string& key, const std::string& value) {
  if (key == "cfx-broker") {
    if (value.empty()) {  // off, as when it is absent
      s->broker_url.clear();
      s->broker = AmqpUrl{};
      return "";
    }
    std::string why;
    const auto url = parse_amqp_url(value, &why);
    if (!url) return "cfx-broker: " + quoted(redacted_url(value)) + " " + why;
    s->broker_url = value;
    s->broker = *url;
  } else if (key == "cfx-password-file") {
    s->password_file = value;
  } else if (key == "cfx-target") {
    if (value.empty() || !printable_ascii(value)) {
      return "cfx-target: " + quoted(value) +
             " is not an AMQP address (such as /exchange/cfx; no spaces)";
    }
    s->target = value;
  } else if (key == "cfx-handle") {
    if (!is_handle(value)) {
      return "cfx-handle: " + quoted(value) +
             " is not a handle (Vendor.Model.Serial, printable ASCII without spaces, at most 128)";
    }
    s->handle = value;
  } else if (key == "cfx-heartbeat") {
    const auto n = whole_number(value, 1, kLongestHeartbeatS);
    if (!n) return "cfx-heartbeat: " + quoted(value) + " is not a number of seconds from 1 to 300";
    s->heartbeat_s = *n;
  } else if (key == "cfx-validate") {
    if (value == "off") {
      s->validate = Validate::kOff;
    } else if (value == "required") {
      s->validate = Validate::kRequired;
    } else if (value == "advisory") {
      s->validate = Validate::kAdvisory;
    } else {
      return "cfx-validate: " + quoted(value) + " is not off, required or advisory";
    }
  } else if (key == "cfx-mes") {
    const auto space = value.find_first_of(" \t");
    const std::string url = value.substr(0, space);
    std::string handle;
    if (space != std::string::npos) {
      const auto start = value.find_first_not_of(" \t", space);
      if (start != std::string::npos) handle = value.substr(start);
    }
    std::string why;
    if (!parse_amqp_url(url, &why)) return "cfx-mes: " + quoted(redacted_url(url)) + " " + why;
    if (handle.empty() || !printable_ascii(handle)) {
      return "cfx-mes: the MES's handle is missing after its URL (cfx-mes = amqp://host:port/ "
             "HANDLE)";
    }
    s->mes_url = url;
    s->mes_handle = handle;
  } else if (key == "cfx-validate-timeout") {
    const auto n = whole_number(value, 1, kLongestValidateTimeoutS);
    if (!n) {
      return "cfx-validate-timeout: " + quoted(value) + " is not a number of seconds from 1 to 120";
    }
    s->validate_timeout_s = *n;
  } else if (key == "cfx-listen") {
    if (value.empty() || value == "off") {
      s->listen.clear();
      return "";
    }
    std::string host, port;
    if (!printable_ascii(value) || !split_host_port(value, &host, &port) || host.empty() ||
        !port_number(port)) {
      return "cfx-listen: " + quoted(value) +
             " is not ADDR:PORT (such as 192.168.10.4:5673, an address of this station)";
    }
    s->listen = value;
  } else if (key == "cfx-mes-handles") {
    // Handles hold no spaces or commas: either one separates them.
    std::vector<std::string> handles;
    std::string one;
    for (std::size_t i = 0; i <= value.size(); ++i) {
      const char c = i < value.size() ? value[i] : ' ';
      if (c == ',' || c == ' ' || c == '\t') {
        if (!one.empty()) handles.push_back(one);
        one.clear();
      } else {
        one += c;
      }
    }
    for (const std::string& h : handles) {
      if (!is_handle(h)) {
        return "cfx-mes-handles: " + quoted(h) +
               " is not a handle (Vendor.Model.Serial, printable ASCII, at most 128)";
      }
    }
    s->mes_handles = handles;
  } else if (key == "cfx-tls-cert" || key == "cfx-tls-key" || key == "cfx-tls-ca") {
    // Empty turns it off, as when it is absent; whether the file can be
    // read is the check's and the sender's to say, as for the password file.
    std::string& file = key == "cfx-tls-cert"  ? s->tls_cert
                        : key == "cfx-tls-key" ? s->tls_key
                                               : s->tls_ca;
    for (const char c : value) {
      if (static_cast<unsigned char>(c) < ' ' || c == '\x7f')
        return key + ": " + quoted(value) + " is not a file name (it holds a control character)";
    }
    file = value;
  }
  return "";
}

bool listens_everywhere(const Settings& settings) {
  std::string host, port;
  if (settings.listen.empty() || !split_host_port(settings.listen, &host, &port)) return false;
  return host == "0.0.0.0" || host == "::";
}

bool serves_tls(const Settings& settings) {
  return !settings.tls_cert.empty() && !settings.tls_key.empty();
}

bool verifies_peers(const Settings& settings) {
  return serves_tls(settings) && !settings.tls_ca.empty();
}

std::string unverifiable_tls_url(const std::string& key, const std::string& url) {
  // Proton sends the virtual host as the open frame's host name, and checks
  // the server's certificate against that same name: "vhost:NAME" never
  // matches.
  std::string why;
  const auto parsed = parse_amqp_url(url, &why);
  if (url.empty() || !parsed || !parsed->tls || parsed->vhost.empty()) return "";
  return key + " " + quoted(redacted_url(url)) +
         ": amqps:// with a virtual host cannot be verified (the server's certificate would be "
         "checked against the virtual host's name); use the server's default virtual host and "
         "leave it out of the URL";
}

std::vector<std::string> unreadable_tls_files(const Settings& settings) {
  std::vector<std::string> problems;
  const std::pair<const char*, const std::string*> files[] = {{"cfx-tls-cert", &settings.tls_cert},
                                                              {"cfx-tls-key", &settings.tls_key},
                                                              {"cfx-tls-ca", &settings.tls_ca}};
  for (const auto& [key, path] : files) {
    if (path->empty()) continue;
    errno = 0;
    std::FILE* f = std::fopen(path->c_str(), "rb");
    if (!f) {
      problems.push_back(std::string(key) + " " + quoted(*path) +
                         " cannot be read: " + std::strerror(errno ? errno : EIO));
      continue;
    }
    char byte;
    const bool empty = std::fread(&byte, 1, 1, f) == 0;
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    // A folder opens, and fails at its first read.
    if (failed) {
      problems.push_back(std::string(key) + " " + quoted(*path) + " cannot be read: not a file");
    } else if (empty) {
      problems.push_back(std::string(key) + " " + quoted(*path) + " is empty");
    }
  }
  return problems;
}

std::string request_network_uri(const Settings& settings, const std::string& host_address) {
  if (settings.listen.empty()) return "";
  const std::string scheme = serves_tls(settings) ? "amqps://" : "amqp://";
  std::string host, port;
  if (!listens_everywhere(settings) || host_address.empty() ||
      !split_host_port(settings.listen, &host, &port))
    return scheme + settings.listen;
  const bool v6 = host_address.find(':') != std::string::npos;
  return scheme + (v6 ? "[" + host_address + "]" : host_address) + ":" + port;
}

std::vector<std::string> finish_cfx_settings(Settings* s) {
  std::vector<std::string> findings;
  s->enabled = !s->broker_url.empty();
  if (s->handle.empty()) s->handle = default_handle();
  if (s->validate != Validate::kOff && s->mes_url.empty()) {
    findings.push_back(std::string("cfx-validate: ") + validate_name(s->validate) +
                       " needs cfx-mes = amqp://host:port/ HANDLE");
  }
  // The certificate and its key go together: either alone could serve
  // nothing, and a request port meant to speak TLS would speak it in clear.
  if (s->tls_cert.empty() != s->tls_key.empty()) {
    findings.push_back(s->tls_cert.empty()
                           ? "cfx-tls-key is set without cfx-tls-cert: set the station's "
                             "certificate beside its key, or neither"
                           : "cfx-tls-cert is set without cfx-tls-key: set the certificate's "
                             "private key beside it, or neither");
  }
  if (!s->enabled && (s->validate != Validate::kOff || !s->listen.empty())) {
    findings.push_back(
        "cfx-validate and cfx-listen need cfx-broker: the station's CFX is off without it");
  }
  return findings;
}

std::optional<std::string> broker_password(const Settings& settings, std::string* error) {
  if (!settings.password_file.empty()) {
    std::ifstream in(settings.password_file);
    if (!in) {
      *error = "cfx-password-file " + quoted(settings.password_file) + " cannot be read";
      return std::nullopt;
    }
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return line;
  }
  if (const char* env = std::getenv("FFSLOAD_CFX_PASSWORD"); env && *env) return std::string(env);
  return std::nullopt;
}

}  // namespace cfx
