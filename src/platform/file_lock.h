// A lock that one process holds on a file for as long as it keeps it, so
// that a second process working on the same files sees them taken. The
// system drops it when the holder dies, however it dies: a lock never
// outlives its process.
#pragma once

#include <string>

namespace platform {

class FileLock {
 public:
  enum class Result {
    kHeld,    // this object holds the lock now
    kBusy,    // another holder has it (another process, or another FileLock)
    kFailed,  // the lock file cannot be made or locked: errno says why
  };

  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes an exclusive lock on the file `path` without waiting, creating the
  // file (empty) when it is missing. A symbolic link under that name is never
  // followed (kFailed, errno ELOOP). Held until release() or the object's end.
  // Taking it again while held is kHeld.
  Result take(const std::string& path);
  // The same, waiting up to `max_wait_ms` for another holder to let go: for
  // a lock that holders keep only for a few writes, never for a whole run.
  Result take_waiting(const std::string& path, int max_wait_ms);
  bool held() const { return fd_ >= 0; }
  void release();

 private:
  int fd_ = -1;
};

}  // namespace platform
