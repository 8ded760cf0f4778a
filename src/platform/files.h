// File operations that the file commands call: sizes, whole writes, flushing
// a file and its folder to the disk.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace platform {

// Size in bytes of the named file: 0 and *size set on success, negative when
// the file cannot be examined (missing, not a regular file).
int CVI_GetFileSize(const char* path, long* size);

}  // namespace platform

namespace platform {

// Writes every byte to fd, carrying on after interruptions; false when the
// file refuses (a full disk, a closed pipe).
bool write_all(int fd, const void* data, std::size_t size);

// `path` from the root, as the current folder makes it; `path` itself when
// that cannot be said.
std::string absolute_path(const std::string& path);

// Flushes an open file's data to the disk; false when the disk refuses.
bool sync_file(int fd);
// The same for a stream, after handing its buffered bytes to the file.
bool sync_stream(std::FILE* file);
// Flushes the folder that holds `path` (its new or renamed entry) to the disk.
bool sync_folder_of(const std::string& path);

// Creates `path` as a new file of this process, for writing: never through
// a symbolic link (or anything but a plain file) found under its name, which
// is refused (nullptr, errno ELOOP), so that a planted link cannot steer the
// write into a file elsewhere. A plain file left there (by a run that was
// cut off) is replaced. nullptr with errno set when it cannot be created.
std::FILE* create_new_file(const std::string& path);

// The temporary file being written right now ("" when none), so that a
// process ended at once by a signal can remove it: a ".part" file is never left.
void note_partial_file(const std::string& path);
// Removes the noted temporary file; safe to call from a signal handler.
void remove_partial_file_now();

}  // namespace platform
