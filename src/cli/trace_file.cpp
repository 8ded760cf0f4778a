#include "cli/trace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "fs/pc_file.h"

namespace cli {

namespace {
// The files a run may read or write: the script, and every word of its lines
// as a PC name, with and without the port's suffix.
std::vector<std::string> files_of_run(const std::string& script, int port) {
  std::vector<std::string> names{script};
  std::ifstream in(script, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    std::size_t start = 0;
    while (start < line.size()) {
      const std::size_t end = std::min(line.find_first_of(" \t\r,", start), line.size());
      if (end > start) {
        std::string word = line.substr(start, end - start);
        names.push_back(word);
        if (fs::append_port_suffix(word, port)) names.push_back(word);
      }
      start = end + 1;
    }
  }
  return names;
}

bool same_file(const struct stat& open, const std::string& trace, const std::string& name) {
  namespace stdfs = std::filesystem;
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0) return st.st_dev == open.st_dev && st.st_ino == open.st_ino;
  // Not there yet: a PC file the run writes later must not be the trace either.
  std::error_code ec;
  return stdfs::weakly_canonical(stdfs::absolute(trace, ec), ec) ==
         stdfs::weakly_canonical(stdfs::absolute(name, ec), ec);
}
}  // namespace

std::FILE* open_trace_file(const std::string& path, const std::string& script, int port,
                           std::string* error) {
  struct stat before {};
  const bool existed = ::lstat(path.c_str(), &before) == 0;
  // Not emptied yet: it may be the script. O_NONBLOCK: a FIFO without a
  // reader fails at once instead of holding the run for good.
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = errno == ELOOP || errno == ENXIO || errno == EISDIR
                 ? "it is not a plain file (a link, a FIFO or a folder)"
                 : std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  std::string why;
  if (::fstat(fd, &st) != 0) {
    why = std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    why = "it is not a plain file (a FIFO or a device)";
  } else {
    for (const std::string& name : files_of_run(script, port)) {
      if (same_file(st, path, name)) {
        why = name == script ? "it is the script" : "it is the PC file " + name + " of the script";
        break;
      }
    }
  }
  if (why.empty() &&
      (::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
    why = std::strerror(errno);
  }
  std::FILE* out = why.empty() ? ::fdopen(fd, "w") : nullptr;
  if (!out) {
    if (why.empty()) why = std::strerror(errno);
    ::close(fd);
    if (!existed) ::unlink(path.c_str());
    *error = why;
  }
  return out;
}

}  // namespace cli
