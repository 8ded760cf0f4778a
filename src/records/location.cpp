#include "records/location.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

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
  struct stat st {};
  return ::stat(path, &st) == 0 && (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

}  // namespace

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
