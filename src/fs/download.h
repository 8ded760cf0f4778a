// "fwr": writes a PC file into the handset's file system.
#pragma once

#include <string>

namespace fs {

// pc_name is the runner's copy of word 3; the per-port suffix is appended to it.
int writefile(const std::string& line, const std::string& directory,
              const std::string& handset_name, std::string& pc_name);

}  // namespace fs
