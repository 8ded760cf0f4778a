#include "records/location.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/file_status.h"
#include "records/postgres_store.h"
#include "records/store.h"

namespace records {

namespace {

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// The value of the last "records = URL" line; '#' starts a comment line.
std::string station_file_setting() {
  std::ifstream in(kStationFile);
  std::string line;
  std::string value;
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    const auto equals = line.find('=');
    if (equals == std::string::npos || trim(line.substr(0, equals)) != "records") continue;
    value = trim(line.substr(equals + 1));
  }
  return value;
}

bool readable_by_others(const char* path) {
  const auto status = platform::file_status(path);
  return status && status->readable_by_others;
}

constexpr const char* kHidden = "***";

struct Span {
  std::size_t begin = 0;
  std::size_t end = 0;
};

// Where the passwords of a postgresql:// URL are, read the way the client
// library reads it: "user:password@" up to the first '@' or '/' after the
// scheme, and "password=" among the parameters after '?'.
std::vector<Span> password_spans(const std::string& url) {
  std::vector<Span> spans;
  if (!is_postgres_url(url)) return spans;
  const std::size_t authority = url.find("://") + 3;
  const std::size_t stop = url.find_first_of("@/", authority);
  if (stop != std::string::npos && url[stop] == '@') {
    const std::size_t colon = url.find(':', authority);
    if (colon < stop) spans.push_back({colon + 1, stop});
  }
  std::size_t param = url.find('?', stop == std::string::npos ? authority : stop);
  while (param != std::string::npos) {
    const std::size_t begin = param + 1;
    const std::size_t end = std::min(url.find('&', begin), url.size());
    constexpr std::string_view kKey = "password=";
    if (url.compare(begin, kKey.size(), kKey) == 0) spans.push_back({begin + kKey.size(), end});
    param = end < url.size() ? end : std::string::npos;
  }
  return spans;
}

std::string percent_decoded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() &&
        std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

void replace_all(std::string& text, const std::string& secret) {
  if (secret.empty()) return;
  for (std::size_t at = text.find(secret); at != std::string::npos;
       at = text.find(secret, at + std::string_view(kHidden).size())) {
    text.replace(at, secret.size(), kHidden);
  }
}

}  // namespace

std::string outbox_location() {
  const char* env = std::getenv(kOutboxVariable);
  return env && *env ? env : kOutboxFile;
}

std::string location_problem(const std::string& location, const std::string& outbox) {
  if (location.empty() || is_postgres_url(location)) return "";
  namespace stdfs = std::filesystem;
  std::error_code ec;
  // The same file under two names (a link, "./") counts as the same file.
  const auto full = [&](const std::string& path) {
    return stdfs::weakly_canonical(stdfs::absolute(path, ec), ec);
  };
  const bool same = stdfs::exists(location, ec) && stdfs::exists(outbox, ec)
                        ? stdfs::equivalent(location, outbox, ec)
                        : full(location) == full(outbox);
  if (!same) return "";
  return "the records file " + location + " is the outbox " + outbox +
         ", which keeps records only until the records file takes them: name another file";
}

std::string shown_location(const std::string& location) {
  std::string shown = location;
  const auto spans = password_spans(location);
  for (auto it = spans.rbegin(); it != spans.rend(); ++it) {
    shown.replace(it->begin, it->end - it->begin, kHidden);
  }
  return shown;
}

std::string without_password(const std::string& text, const std::string& location) {
  std::string out = text;
  const std::string shown = shown_location(location);
  if (shown == location) return out;
  // The whole URL first, so that it reads as it is shown everywhere else.
  for (std::size_t at = out.find(location); at != std::string::npos;
       at = out.find(location, at + shown.size())) {
    out.replace(at, location.size(), shown);
  }
  for (const Span& span : password_spans(location)) {
    const std::string raw = location.substr(span.begin, span.end - span.begin);
    replace_all(out, raw);
    replace_all(out, percent_decoded(raw));
  }
  return out;
}

Location resolve_location(const std::string& option) {
  Location location;
  if (!option.empty()) {
    location.url = option;
    location.source = "--records";
  } else if (const char* env = std::getenv(kRecordsVariable); env && *env) {
    location.url = env;
    location.source = kRecordsVariable;
  } else if (std::string setting = station_file_setting(); !setting.empty()) {
    location.url = setting;
    location.source = kStationFile;
    bool has_password = false;
    std::string ignored;
    if (is_postgres_url(setting) && parse_postgres_url(setting, &has_password, &ignored) &&
        has_password && readable_by_others(kStationFile)) {
      location.warnings.push_back(
          std::string(kStationFile) +
          " holds a database password and other users can read it: make it readable by its "
          "owner alone (chmod 600), or keep the password in ~/.pgpass instead");
    }
  } else {
    location.url = kDefaultRecordsFile;
    location.source = "default";
  }
  return location;
}

}  // namespace records
