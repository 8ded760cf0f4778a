// Plain files read or written whole by name.
#pragma once

#include <string>

namespace platform {

enum class WholeRead {
  kRead,     // *text holds the whole file
  kMissing,  // there is no file by that name
  kFailed,   // *why says why, after the name: "PATH: not a regular file"
};

// Reads the whole plain file `path`: never through a symbolic link under the
// name (which fails), and only a regular file (a folder or a device fails).
// An interrupted read carries on.
WholeRead read_whole_file(const std::string& path, std::string* text, std::string* why);

// Creates `path` as a new file holding `text`, only if no file (nor link)
// has that name: another writer's file is never emptied. 0 when written;
// EEXIST when the name is taken (nothing is touched); else the system's
// error number, and no half-written file is left under the name. Not flushed
// to the disk.
int create_exclusive(const std::string& path, const std::string& text);

}  // namespace platform
