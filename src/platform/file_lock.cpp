#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace platform {

FileLock::~FileLock() {
  release();
}

FileLock::Result FileLock::take(const std::string& path) {
  if (fd_ >= 0) return Result::kHeld;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return Result::kFailed;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return error == EWOULDBLOCK ? Result::kBusy : Result::kFailed;
  }
  fd_ = fd;
  return Result::kHeld;
}

FileLock::Result FileLock::take_waiting(const std::string& path, int max_wait_ms) {
  // Polled rather than a blocking flock: a holder that hangs (a disk that
  // stopped answering) must not hang every port behind it for good.
  constexpr int kStepMs = 2;
  for (int waited = 0;; waited += kStepMs) {
    const Result result = take(path);
    if (result != Result::kBusy || waited >= max_wait_ms) return result;
    const timespec step{0, kStepMs * 1'000'000L};
    nanosleep(&step, nullptr);
  }
}

void FileLock::release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace platform
