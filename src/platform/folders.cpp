#include "platform/folders.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace platform {

int GetDir(std::string* folder) {
  std::error_code error;
  const auto here = std::filesystem::current_path(error);
  if (error) return -1;
  if (folder) *folder = here.string();
  return 0;
}

int SetDir(const std::string& folder) {
  return ::chdir(folder.c_str()) == 0 ? 0 : -1;
}

std::string program_path() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error || self.empty() ? "ffsload" : self.string();
}

std::string program_folder() {
  const std::filesystem::path self = program_path();
  return self.has_parent_path() ? self.parent_path().string() : ".";
}

}  // namespace platform
