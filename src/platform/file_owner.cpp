#include "platform/file_owner.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {

namespace {

std::string user_name(uid_t uid) {
  std::vector<char> buffer(4096);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return found->pw_name;
  return "uid " + std::to_string(uid);
}

}  // namespace

std::string this_user_name() {
  return user_name(::geteuid());
}

std::optional<std::string> not_ours_to_write(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  if (::access(path.c_str(), W_OK) == 0) return std::nullopt;
  if (errno == EROFS) return "on a file system mounted read-only";
  return "owned by " + user_name(st.st_uid) + ", not writable by " + this_user_name();
}

std::optional<unsigned> owner_id(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<unsigned>(st.st_uid);
}

}  // namespace platform
