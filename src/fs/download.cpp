#include "fs/download.h"

#include "commands/command_support.h"

namespace fs {

int writefile(const std::string& line, const std::string&, const std::string&, std::string&) {
  return commands::not_supported(line);
}

}  // namespace fs
