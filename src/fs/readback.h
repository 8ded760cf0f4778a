// "frd": copies a handset file into a PC file, and keeps note of whether the
// handset's IMEI file was backed up.
#pragma once

#include <string>

// 1 after a read-back of an "IMEI..." PC file found an 8-byte handset file
// and saved it, 0 otherwise; kept for the life of the process.
extern char IMEI_flag;

namespace fs {

// The status of a handset file too large for the 3000-byte buffers.
constexpr int kStatusFileTooLarge = 201;

int frd(const std::string& line, const std::string& directory, const std::string& handset_name,
        std::string& pc_name);

}  // namespace fs
