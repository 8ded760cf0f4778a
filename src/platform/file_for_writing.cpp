#include "platform/file_for_writing.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform {

FileForWriting& FileForWriting::operator=(FileForWriting&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

std::optional<FileStatus> FileForWriting::status() const {
  return descriptor_status(fd_);
}

bool FileForWriting::empty_for_writing() {
  return fd_ >= 0 && ::ftruncate(fd_, 0) == 0 &&
         ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK) == 0;
}

std::FILE* FileForWriting::into_stream() {
  std::FILE* stream = fd_ >= 0 ? ::fdopen(fd_, "w") : nullptr;
  if (stream) fd_ = -1;
  return stream;
}

void FileForWriting::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

FileForWriting open_no_follow(const std::string& path) {
  return FileForWriting(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
}

}  // namespace platform
