#include "cli/trace_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "fs/pc_file.h"
#include "platform/file_for_writing.h"
#include "platform/file_names.h"
#include "platform/file_status.h"

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

bool same_file(const platform::FileIdentity& open, const std::string& trace,
               const std::string& name) {
  namespace stdfs = std::filesystem;
  if (const auto there = platform::file_identity(name)) return *there == open;
  // Not there yet: a PC file the run writes later must not be the trace either.
  std::error_code ec;
  return stdfs::weakly_canonical(stdfs::absolute(trace, ec), ec) ==
         stdfs::weakly_canonical(stdfs::absolute(name, ec), ec);
}
}  // namespace

std::FILE* open_trace_file(const std::string& path, const std::string& script, int port,
                           std::string* error) {
  const bool existed = platform::path_kind_no_follow(path) != platform::PathKind::kNone;
  // Not emptied yet: it may be the script. Opened without waiting: a FIFO
  // without a reader fails at once instead of holding the run for good.
  platform::FileForWriting file = platform::open_no_follow(path);
  if (!file.is_open()) {
    *error = errno == ELOOP || errno == ENXIO || errno == EISDIR
                 ? "it is not a plain file (a link, a FIFO or a folder)"
                 : std::strerror(errno);
    return nullptr;
  }
  const std::optional<platform::FileStatus> status = file.status();
  std::string why;
  if (!status) {
    why = std::strerror(errno);
  } else if (status->kind != platform::PathKind::kPlainFile) {
    why = "it is not a plain file (a FIFO or a device)";
  } else {
    for (const std::string& name : files_of_run(script, port)) {
      if (same_file(status->identity, path, name)) {
        why = name == script ? "it is the script" : "it is the PC file " + name + " of the script";
        break;
      }
    }
  }
  if (why.empty() && !file.empty_for_writing()) why = std::strerror(errno);
  std::FILE* out = why.empty() ? file.into_stream() : nullptr;
  if (!out) {
    if (why.empty()) why = std::strerror(errno);
    file.close();
    if (!existed) platform::remove_file(path);
    *error = why;
  }
  return out;
}

}  // namespace cli
