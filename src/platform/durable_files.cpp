#include "platform/durable_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file_names.h"
#include "platform/files.h"

namespace platform {

namespace {

bool sync_data(int fd) {
  return ::fdatasync(fd) == 0;
}

}  // namespace

bool append_durably(const std::string& path, const std::string& text, AppendSync sync,
                    std::string* why) {
  bool created = false;
  // O_NONBLOCK: a FIFO planted under the name fails at once (ENXIO without
  // a reader) or is refused below, never holds the run; a plain file's
  // writes do not heed it.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    // O_EXCL: only a file that this call made counts as created.
    fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    created = fd >= 0;
  }
  if (fd < 0) {
    *why = path + ": " + (errno == ENXIO ? "not a regular file" : std::strerror(errno));
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *why = path + ": not a regular file";
    return false;
  }
  errno = 0;
  const bool ok = write_all(fd, text.data(), text.size()) &&
                  (!(sync == AppendSync::kNow || created) || sync_data(fd));
  const int saved_errno = errno;
  ::close(fd);
  if (!ok) {
    *why = path + ": " + std::strerror(saved_errno ? saved_errno : EIO);
    return false;
  }
  if (created && !sync_folder_of(path)) {
    *why = path + ": cannot flush its folder";
    return false;
  }
  return true;
}

bool replace_file_durably(const std::string& path, const std::string& text, std::string* why) {
  const std::string temporary = path + ".part";
  ::unlink(temporary.c_str());
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    *why = temporary + ": " + std::strerror(errno);
    return false;
  }
  bool ok = write_all(fd, text.data(), text.size()) && sync_file(fd);
  ok = ::close(fd) == 0 && ok;
  ok = ok && replace_file(temporary, path);
  if (!ok) {
    ::unlink(temporary.c_str());
    *why = path + ": cannot rewrite it";
    return false;
  }
  if (!sync_folder_of(path)) {
    *why = path + ": cannot flush its folder";
    return false;
  }
  return true;
}

int sync_file_data(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return errno;
  const int error = sync_data(fd) ? 0 : errno;
  ::close(fd);
  return error;
}

}  // namespace platform
