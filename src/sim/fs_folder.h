// The simulated flash file system as a folder tree on the PC: loaded at
// start (so a handset can come with files on it) and dumped at the end (so
// anyone can see what it holds).
#pragma once

#include <string>

#include "sim/handset_state.h"

namespace sim {

bool load_file_system(FlashFs& fs, const std::string& folder, std::string* error);
bool dump_file_system(const FlashFs& fs, const std::string& folder, std::string* error);

}  // namespace sim
