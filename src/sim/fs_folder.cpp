#include "sim/fs_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/files.h"

namespace sim {

namespace stdfs = std::filesystem;

namespace {

// A file descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

// The parts of a handset path, or nothing when one of them could lead out of
// the dump folder or cannot be a file name.
std::optional<std::vector<std::string>> safe_parts(const std::string& handset_path) {
  const std::string path = normalize_path(handset_path);
  std::vector<std::string> parts;
  std::size_t start = 1;  // after the leading "/"
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == ".." || part.find('\0') != std::string::npos) {
      return std::nullopt;
    }
    parts.push_back(std::move(part));
    start = end + 1;
  }
  return parts;
}

// Opens (making it when missing) the subfolder `name` of dir, never following
// a symbolic link.
Fd enter(const Fd& dir, const std::string& name) {
  if (::mkdirat(dir.get(), name.c_str(), 0755) != 0 && errno != EEXIST) return Fd{};
  return Fd{::openat(dir.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
}

std::string printable(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

bool load_file_system(FlashFs& fs, const std::string& folder, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = "cannot load " + folder + ": " + why;
    return false;
  };
  std::error_code ec;
  if (!stdfs::is_directory(folder, ec)) return fail("not a folder");

  FlashFs loaded;
  stdfs::recursive_directory_iterator it(folder, ec), end;
  if (ec) return fail(ec.message());
  for (; it != end; it.increment(ec)) {
    if (ec) return fail(ec.message());
    const stdfs::path relative = it->path().lexically_relative(folder);
    const std::string path = normalize_path(relative.generic_string());
    const stdfs::file_status status = it->symlink_status(ec);
    if (ec) return fail(ec.message());
    if (stdfs::is_directory(status)) {
      loaded.directories.insert(path);
    } else if (stdfs::is_regular_file(status)) {
      std::ifstream in(it->path(), std::ios::binary);
      std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
      if (!in.good() && !in.eof()) return fail("cannot read " + relative.string());
      loaded.files[path] = std::move(bytes);
    } else {
      return fail(relative.string() + " is neither a folder nor a regular file");
    }
  }
  fs = std::move(loaded);
  return true;
}

bool dump_folder_usable(const std::string& folder, std::string* error) {
  std::error_code ec;
  if (!stdfs::exists(stdfs::symlink_status(folder, ec))) return true;
  if (!stdfs::is_directory(stdfs::symlink_status(folder, ec)) || !stdfs::is_empty(folder, ec) ||
      ec) {
    if (error) *error = "the dump folder " + folder + " must be a new or empty folder";
    return false;
  }
  return true;
}

bool dump_file_system(const FlashFs& fs, const std::string& folder, std::string* error) {
  if (!dump_folder_usable(folder, error)) return false;
  std::error_code ec;
  stdfs::create_directories(folder, ec);
  Fd root{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (!root.ok()) {
    if (error) *error = "cannot make the dump folder " + folder + ": " + std::strerror(errno);
    return false;
  }

  std::vector<std::string> problems;
  // Opens the folder of parts[0..count), making what is missing.
  auto folder_of = [&](const std::vector<std::string>& parts, std::size_t count) {
    Fd dir{::dup(root.get())};
    for (std::size_t i = 0; i < count && dir.ok(); ++i) dir = enter(dir, parts[i]);
    return dir;
  };

  for (const std::string& path : fs.directories) {  // sorted: parents first
    if (path == "/") continue;
    auto parts = safe_parts(path);
    if (!parts) {
      problems.push_back("unsafe name " + printable(path));
    } else if (!folder_of(*parts, parts->size()).ok()) {
      problems.push_back("cannot make " + printable(path));
    }
  }
  for (const auto& [path, bytes] : fs.files) {
    auto parts = safe_parts(path);
    if (!parts) {
      problems.push_back("unsafe name " + printable(path));
      continue;
    }
    Fd dir = folder_of(*parts, parts->size() - 1);
    Fd file{dir.ok() ? ::openat(dir.get(), parts->back().c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644)
                     : -1};
    if (!file.ok() || !platform::write_all(file.get(), bytes.data(), bytes.size())) {
      problems.push_back("cannot write " + printable(path));
    }
  }
  if (problems.empty()) return true;
  if (error) {
    *error = "dump into " + folder + " incomplete:";
    for (const auto& p : problems) *error += " " + p + ";";
  }
  return false;
}

}  // namespace sim
