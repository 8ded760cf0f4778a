// "compare": checks a handset file against a PC file byte for byte.
#pragma once

#include <string>

#include "fs/imei_guard.h"
#include "link/link.h"

namespace fs {

// Match figures besides 0 (agree) and -1/1 (the first differing PC byte is
// smaller/larger). A figure of magnitude 1 added to a failed transfer's 100
// can never give 0.
constexpr int kMatchSizesDiffer = 200;  // also: the PC file could not be opened or read
constexpr int kMatchFileTooLarge = 201;

// An IMEI file is compared only while guard.IMEI_flag is 1.
int comparefile(wire::Link& link, const ImeiGuard& guard, const std::string& line,
                const std::string& directory, const std::string& handset_name,
                std::string& pc_name);

}  // namespace fs
