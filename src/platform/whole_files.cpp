#include "platform/whole_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace platform {

WholeRead read_whole_file(const std::string& path, std::string* text, std::string* why) {
  text->clear();
  // O_NONBLOCK: a FIFO planted under the name is refused below as not a
  // plain file, instead of holding the run until something writes to it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return WholeRead::kMissing;
    *why = path + ": " + std::strerror(errno);
    return WholeRead::kFailed;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *why = path + ": not a regular file";
    ::close(fd);
    return WholeRead::kFailed;
  }
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *why = path + ": " + std::strerror(errno);
      ::close(fd);
      text->clear();
      return WholeRead::kFailed;
    }
    if (got == 0) break;
    text->append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return WholeRead::kRead;
}

int create_exclusive(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  int error = 0;
  if (!write_all(fd, text.data(), text.size())) error = errno ? errno : EIO;
  if (::close(fd) != 0 && error == 0) error = errno ? errno : EIO;
  if (error != 0) ::unlink(path.c_str());  // no half-written file under the name
  return error;
}

}  // namespace platform
