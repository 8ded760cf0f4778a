// A file opened by name for writing, examined before a byte of it changes:
// for a trace or a log whose name an operator typed, which must never turn
// out to be a link, a FIFO that blocks the run, or a file the run reads.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "platform/file_status.h"

namespace platform {

class FileForWriting;
FileForWriting open_no_follow(const std::string& path);

class FileForWriting {
 public:
  FileForWriting() = default;
  ~FileForWriting() { close(); }
  FileForWriting(FileForWriting&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileForWriting& operator=(FileForWriting&& other) noexcept;
  FileForWriting(const FileForWriting&) = delete;
  FileForWriting& operator=(const FileForWriting&) = delete;

  bool is_open() const { return fd_ >= 0; }
  // What was opened; nullopt with errno set when it cannot be said.
  std::optional<FileStatus> status() const;
  // Empties the file, and makes its writes wait from now on as a stream's
  // do (it was opened without waiting); false with errno set.
  bool empty_for_writing();
  // Hands the file over as a stdio stream; the object is then empty.
  // nullptr with errno set when it cannot be (the file stays with the object).
  std::FILE* into_stream();
  void close();

 private:
  friend FileForWriting open_no_follow(const std::string& path);
  explicit FileForWriting(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// Opens `path` for writing, creating it (0644) when missing, but not emptying
// it: never through a symbolic link under the name (errno ELOOP), and never
// waiting: a FIFO without a reader fails at once (ENXIO); a folder is EISDIR.
// Not open (is_open() false) with errno set when it cannot be opened.
FileForWriting open_no_follow(const std::string& path);

}  // namespace platform
