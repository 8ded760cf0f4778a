// Where a station's records go: the first of --records, the environment
// variable FFSLOAD_RECORDS, a "records = URL" line of the station file
// "ffsload.conf" in the start folder, and the file "runs.sqlite" there.
#pragma once

#include <string>
#include <vector>

namespace records {

constexpr const char* kRecordsVariable = "FFSLOAD_RECORDS";
constexpr const char* kStationFile = "ffsload.conf";
constexpr const char* kDefaultRecordsFile = "runs.sqlite";
// Records kept while their store cannot take them, sent when it can.
constexpr const char* kOutboxFile = "runs-outbox.sqlite";

struct Location {
  std::string url;     // a SQLite path or a postgresql:// URL
  std::string source;  // which setting chose it, for messages
  // Things the operator should know, such as a password that other users
  // can read in the station file.
  std::vector<std::string> warnings;
};

// option: the --records value, empty when not given. Relative paths (and the
// station file) are taken in the current folder, the start folder.
Location resolve_location(const std::string& option);

}  // namespace records
