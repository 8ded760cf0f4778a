// Writes that survive a power cut: on the disk, with the file's name in its
// folder, before the call that made them returns.
#pragma once

#include <string>

namespace platform {

enum class AppendSync {
  kNow,             // on the disk before append_durably() returns
  kWithNextAppend,  // written only: the next kNow append puts it on the disk too
};

// Appends `text` to the plain file `path`, creating it when missing. Never
// through a symbolic link under the name, and never into anything but a
// regular file. A file this call creates is always synced, and its folder
// too, so its name survives with its contents. The data is synced with
// fdatasync (the file's size is data; its times are not needed). False with
// *why ("PATH: ...") when it could not be done.
bool append_durably(const std::string& path, const std::string& text, AppendSync sync,
                    std::string* why);

// Replaces the file `path` with one holding `text` so that a power cut at
// any moment leaves either the old file or the new one, whole: written to
// "PATH.part" (a stale one is removed first; never through a link), synced
// (fsync), renamed over `path`, and the folder synced. False with *why when
// it could not be done; `path` is then as it was (unless only the folder's
// sync failed: "PATH: cannot flush its folder") and no ".part" is left.
bool replace_file_durably(const std::string& path, const std::string& text, std::string* why);

// Puts the data of the file `path` on the disk (fdatasync; never through a
// symbolic link). 0 when done, ENOENT when there is no such file, else the
// system's error number.
int sync_file_data(const std::string& path);

}  // namespace platform
