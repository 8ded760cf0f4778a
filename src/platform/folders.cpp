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

std::string sibling_program(const std::string& name) {
  const std::filesystem::path folder = program_folder();
  for (const auto& candidate :
       {folder / name, folder / ".." / "bin" / name, folder / ".." / "libexec" / name}) {
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return candidate.lexically_normal().string();
    }
  }
  return "";
}

}  // namespace platform
