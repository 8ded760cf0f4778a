#include "platform/this_process.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {

std::string host_name() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

long process_id() {
  return static_cast<long>(::getpid());
}

bool set_environment(const std::string& name, const std::string& value) {
  return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool become_owner_of(const std::string& folder, std::string* why) {
  if (::geteuid() != 0) return true;
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) {
    *why = "cannot examine " + folder + ": " + std::strerror(errno);
    return false;
  }
  if (st.st_uid == 0) {
    *why = folder +
           " is root's: give the station folder to the station's user (chown), "
           "or set User= for the service; it will not run as root";
    return false;
  }
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  const bool named =
      ::getpwuid_r(st.st_uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found;
  const gid_t group = named ? found->pw_gid : st.st_gid;
  // Groups first, then the group, then the user: after setuid none of it
  // could be changed any more.
  const bool groups =
      named ? ::initgroups(found->pw_name, group) == 0 : ::setgroups(0, nullptr) == 0;
  if (!groups || ::setgid(group) != 0 || ::setuid(st.st_uid) != 0) {
    *why = "cannot become the owner of " + folder + " (uid " + std::to_string(st.st_uid) +
           "): " + std::strerror(errno);
    return false;
  }
  if (named) {
    ::setenv("HOME", found->pw_dir, 1);
    ::setenv("USER", found->pw_name, 1);
    ::setenv("LOGNAME", found->pw_name, 1);
  }
  return true;
}

}  // namespace platform
