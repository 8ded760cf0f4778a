#include "platform/serial_port_list.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace platform {

namespace {

namespace stdfs = std::filesystem;

constexpr const char* kSysTty = "/sys/class/tty";
constexpr const char* kById = "/dev/serial/by-id";
constexpr const char* kProcLocks = "/proc/locks";

std::string read_first_line(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// Built-in 8250 slots exist whether or not a UART answers; "type" 0 says none does.
bool is_empty_uart_slot(const stdfs::path& sys_entry) {
  const std::string name = sys_entry.filename().string();
  if (!name.starts_with("ttyS")) return false;
  return read_first_line((sys_entry / "type").string()) == "0";
}

std::string group_name(gid_t gid) {
  const group* g = getgrgid(gid);
  return g ? g->gr_name : std::to_string(gid);
}

// The user is listed in the group, but this process started before that.
bool listed_in_group(gid_t gid) {
  const passwd* pw = getpwuid(getuid());
  const group* g = getgrgid(gid);
  if (!pw || !g) return false;
  for (char** member = g->gr_mem; member && *member; ++member) {
    if (std::strcmp(*member, pw->pw_name) == 0) return true;
  }
  return false;
}

std::string permission_advice(const struct stat& st) {
  const std::string group = group_name(st.st_gid);
  if (listed_in_group(st.st_gid)) {
    return "permission denied: the user is in the " + group +
           " group, but this login started before that: log in again";
  }
  return "permission denied: add the user to the " + group + " group (sudo usermod -aG " + group +
         " $USER), then log in again";
}

// "1: FLOCK  ADVISORY  WRITE 1234 08:02:131 0 EOF": the holder of a lock on this file.
std::string lock_holder(const struct stat& st) {
  std::ifstream in(kProcLocks);
  std::string line;
  // The lock names the file system and inode of the device node.
  char wanted[64];
  std::snprintf(wanted, sizeof wanted, "%02x:%02x:%lu", major(st.st_dev), minor(st.st_dev),
                static_cast<unsigned long>(st.st_ino));
  while (std::getline(in, line)) {
    if (line.find("->") != std::string::npos) continue;  // a waiter, not the holder
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, id;
    if (!(fields >> number >> kind >> mode >> access >> pid >> id)) continue;
    if (kind != "FLOCK" || id != wanted) continue;
    const std::string name = read_first_line("/proc/" + pid + "/comm");
    return "process " + pid + (name.empty() ? "" : " (" + name + ")");
  }
  return {};
}

}  // namespace

std::vector<SerialDeviceInfo> list_serial_devices() {
  std::vector<SerialDeviceInfo> devices;
  std::error_code ec;
  for (const auto& entry : stdfs::directory_iterator(kSysTty, ec)) {
    if (!stdfs::exists(entry.path() / "device", ec) || is_empty_uart_slot(entry.path())) continue;
    devices.push_back({"/dev/" + entry.path().filename().string(), {}});
  }
  for (const auto& link : stdfs::directory_iterator(kById, ec)) {
    const stdfs::path target = stdfs::canonical(link.path(), ec);
    if (ec) continue;
    for (auto& d : devices) {
      if (d.path == target.string()) d.by_id.push_back(link.path().string());
    }
  }
  std::sort(devices.begin(), devices.end(),
            [](const auto& a, const auto& b) { return a.path < b.path; });
  for (auto& d : devices) std::sort(d.by_id.begin(), d.by_id.end());
  return devices;
}

std::string why_port_cannot_be_opened(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "no such device";
  if (!S_ISCHR(st.st_mode)) return "not a serial device";
  if (::access(path.c_str(), R_OK | W_OK) != 0) {
    return errno == EACCES ? permission_advice(st) : std::strerror(errno);
  }
  // Read-only and without becoming our terminal: looking must not disturb a run.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == EBUSY) return "busy: another program holds it for exclusive use";
    return errno == EACCES ? permission_advice(st) : std::strerror(errno);
  }
  std::string why;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const std::string holder = errno == EWOULDBLOCK ? lock_holder(st) : std::string();
    why = holder.empty() ? "busy: locked by another program" : "busy: locked by " + holder;
  }
  ::close(fd);
  return why;
}

}  // namespace platform
