#include "platform/file_claims.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/text_format.h"

namespace platform {

namespace {

std::string lock_path(const std::string& path) {
  return path + ".lock";
}

std::string holder_of(int fd) {
  char text[64] = {};
  const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  std::string holder = n > 0 ? std::string(text, static_cast<std::size_t>(n)) : "";
  while (!holder.empty() && (holder.back() == '\n' || holder.back() == '\0')) holder.pop_back();
  return holder.empty() ? "another process" : holder;
}

// Still the file under that name (not one unlinked by its last holder)?
bool still_named(int fd, const std::string& name) {
  struct stat by_fd {};
  struct stat by_name {};
  return ::fstat(fd, &by_fd) == 0 && ::stat(name.c_str(), &by_name) == 0 &&
         by_fd.st_ino == by_name.st_ino && by_fd.st_dev == by_name.st_dev;
}

// Read after "NAME ".
std::string link_refusal(const std::string& name) {
  return "is refused: its lock file " + name + " is not a plain file (a link?); remove it";
}

std::string held_by(const std::string& holder) {
  return "is held by the run on " + holder;
}

}  // namespace

std::optional<std::string> FileClaims::claim(const std::string& path, int port) {
  const std::string name = lock_path(path);
  if (claims_.count(name)) return std::nullopt;
  for (int tries = 0; tries < 5; ++tries) {
    // Never through a link planted under the lock's name: the claim's text
    // would land in whatever file it points to.
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno == ELOOP) return link_refusal(name);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {  // a FIFO, a device
      ::close(fd);
      return link_refusal(name);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      std::string holder = holder_of(fd);
      ::close(fd);
      return held_by(holder);
    }
    if (!still_named(fd, name)) {  // its holder removed it meanwhile: take the new one
      ::close(fd);
      continue;
    }
    const std::string holder =
        strprintf("port %d, process %d\n", port, static_cast<int>(::getpid()));
    if (::ftruncate(fd, 0) == 0) {
      (void)::pwrite(fd, holder.data(), holder.size(), 0);
    }
    claims_[name] = fd;
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::string> FileClaims::held_elsewhere(const std::string& path) const {
  const std::string name = lock_path(path);
  if (claims_.count(name)) return std::nullopt;
  const int fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ELOOP) return link_refusal(name);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> holder;
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) holder = holder_of(fd);
  ::close(fd);
  if (!holder) return std::nullopt;
  return held_by(*holder);
}

void FileClaims::release() {
  for (const auto& [name, fd] : claims_) {
    ::unlink(name.c_str());
    ::close(fd);
  }
  claims_.clear();
}

}  // namespace platform
