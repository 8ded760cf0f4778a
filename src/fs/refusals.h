// Statuses the file commands make of their own when they refuse a line
// before sending anything, and the log line that says why.
#pragma once

#include <string>

namespace fs {

// A PC file that cannot be opened (the operator gets a message box).
constexpr int kStatusMissingPcFile = 50;
// A directory, name or handset path that does not fit its request.
constexpr int kStatusTextTooLong = 40;
// The size of the PC file cannot be read.
constexpr int kStatusSizeUnknown = 51;
// The PC file is larger than the download buffer (3000 bytes).
constexpr int kStatusPcFileTooLarge = 52;
// The PC file name is too long to take the per-port suffix.
constexpr int kStatusNameTooLongForSuffix = 53;
// The PC file delivered fewer bytes than its size promised.
constexpr int kStatusShortRead = 54;

// Appends "<line>  => <status> (0): <reason>" to the run log: no attempt was made.
void log_refusal(const std::string& line, int status, const std::string& reason);

}  // namespace fs
