#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

namespace platform {

namespace {

// A fixed buffer, not a std::string: a signal handler reads it.
std::array<char, 4096> g_partial_file{};
volatile std::sig_atomic_t g_partial_noted = 0;

}  // namespace

std::FILE* create_new_file(const std::string& path) {
  for (int tries = 0; tries < 3; ++tries) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      std::FILE* file = ::fdopen(fd, "wb");
      if (!file) ::close(fd);
      return file;
    }
    if (errno != EEXIST) return nullptr;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) continue;  // gone meanwhile: try again
    if (!S_ISREG(st.st_mode)) {
      errno = ELOOP;
      return nullptr;
    }
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return nullptr;
  }
  errno = EEXIST;
  return nullptr;
}

int CVI_GetFileSize(const char* path, long* size) {
  struct stat st {};
  if (!path || ::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  if (size) *size = static_cast<long>(st.st_size);
  return 0;
}

bool write_all(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool sync_file(int fd) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

bool sync_stream(std::FILE* file) {
  return file && std::fflush(file) == 0 && sync_file(::fileno(file));
}

bool sync_folder_of(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // Some file systems cannot sync a folder (EINVAL): the entry is then as safe
  // as they make it.
  const bool ok = sync_file(fd) || errno == EINVAL;
  ::close(fd);
  return ok;
}

void note_partial_file(const std::string& path) {
  g_partial_noted = 0;
  if (path.empty() || path.size() >= g_partial_file.size()) return;
  std::memcpy(g_partial_file.data(), path.c_str(), path.size() + 1);
  g_partial_noted = 1;
}

void remove_partial_file_now() {
  if (g_partial_noted) ::unlink(g_partial_file.data());
}

std::string absolute_path(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

}  // namespace platform
