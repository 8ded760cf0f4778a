// "compare": checks a handset file against a PC file byte for byte.
#pragma once

#include <string>

namespace fs {

int comparefile(const std::string& line, const std::string& directory,
                const std::string& handset_name, std::string& pc_name);

}  // namespace fs
