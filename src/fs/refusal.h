// Why a file command refused its line, or failed on the PC side: statuses of
// their own (apart from the 100 of a failed exchange and the 200s of the
// comparison) and the log line that says why.
#pragma once

#include <string>
#include <string_view>

namespace fs {

constexpr int kStatusPathTooLong = 400;    // the handset path does not fit the file query
constexpr int kStatusPcNameTooLong = 401;  // no room for the port suffix
constexpr int kStatusPcFileNotWritten = 402;
constexpr int kStatusMissingName = 403;  // the line lacks a file name

// Appends "<line>  => <status> (<reason>)" and returns status.
int refuse(const std::string& line, int status, std::string_view reason);

}  // namespace fs
