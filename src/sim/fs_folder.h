// The simulated flash file system as a folder tree on the PC: loaded at
// start (so a handset can come with files on it) and dumped at the end (so
// anyone can see what it holds).
#pragma once

#include <string>

#include "sim/handset_state.h"

namespace sim {

// Replaces the file system with the tree below folder: its subfolders become
// directories, its regular files files (byte for byte). Symbolic links and
// special files are refused, and then nothing is changed.
bool load_file_system(FlashFs& fs, const std::string& folder, std::string* error);

// Writes the file system into folder, which must not exist or be empty, so
// that it ends up holding exactly what the handset holds. Every entry stays
// inside folder: a handset name with "." or ".." parts, an empty part or a
// zero byte is not written and is reported in *error (false is returned, the
// other entries are written all the same).
bool dump_file_system(const FlashFs& fs, const std::string& folder, std::string* error);

// Whether a dump into folder can succeed (it does not exist, or is an empty folder).
bool dump_folder_usable(const std::string& folder, std::string* error);

}  // namespace sim
