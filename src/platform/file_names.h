// Moving and removing files by name.
#pragma once

#include <string>

namespace platform {

// Gives the file `from` the name `to` in one step: a file already named `to`
// is replaced, and anyone opening `to` meanwhile finds the old file or the
// new one, whole, never neither (POSIX rename). Both names must be on one
// file system (the callers rename a temporary file beside its final name).
// Not flushed: sync_folder_of(to) puts the new name on the disk. False with
// errno set when it cannot be done; both names are then as they were.
bool replace_file(const std::string& from, const std::string& to);

// Removes the file named `path` (a symbolic link itself, never what it
// points to; never a folder); false with errno set when it cannot (ENOENT
// when there is none).
bool remove_file(const std::string& path);

}  // namespace platform
