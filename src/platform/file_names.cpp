#include "platform/file_names.h"

#include <unistd.h>

#include <cstdio>

namespace platform {

bool replace_file(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool remove_file(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

}  // namespace platform
