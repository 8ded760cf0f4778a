// "frd": copies a handset file into a PC file, and keeps note of whether the
// handset's IMEI file was backed up.
#pragma once

#include <string>

#include "fs/imei_guard.h"
#include "link/link.h"

namespace fs {

// The status of a handset file too large for the 3000-byte buffers.
constexpr int kStatusFileTooLarge = 201;

// Sets guard.IMEI_flag: 1 when an "IMEI..." read-back found an 8-byte
// handset file and saved it, 0 when it found none or did not end well.
int frd(wire::Link& link, ImeiGuard& guard, const std::string& line, const std::string& directory,
        const std::string& handset_name, std::string& pc_name);

}  // namespace fs
