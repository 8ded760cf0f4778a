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
// A station running several ports gives each port's process the station's
// records location and its one outbox here, never on a command line that
// every user of the PC can read.
constexpr const char* kOutboxVariable = "FFSLOAD_OUTBOX";

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

// The outbox of this station: $FFSLOAD_OUTBOX, else kOutboxFile in the
// current folder.
std::string outbox_location();

// Why records cannot go to `location` with this outbox (the store and the
// outbox are one file: forwarding would delete what it just stored); empty
// when they can.
std::string location_problem(const std::string& location, const std::string& outbox);

// A records location as it may be shown anywhere (titles, messages, logs):
// a password in a postgresql:// URL, in its user part or as a "password="
// parameter, reads "***". Anything else is returned as it is.
std::string shown_location(const std::string& location);

// A message that may quote `location` or a part of it (the client library
// quotes the part it cannot parse) with every password of the location
// replaced by "***", even when the URL is malformed.
std::string without_password(const std::string& text, const std::string& location);

}  // namespace records
