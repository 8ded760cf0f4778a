// "frd": copies a handset file into a PC file.
#pragma once

#include <string>

// 1 after a read-back of an "IMEI..." PC file found an 8-byte handset file,
// 0 otherwise; kept for the life of the process.
extern char IMEI_flag;

namespace fs {

int frd(const std::string& line, const std::string& directory, const std::string& handset_name,
        std::string& pc_name);

}  // namespace fs
