#include "fs/directory_commands.h"

#include "commands/command_support.h"

namespace fs {

int mkfs(const std::string& line) { return commands::not_supported(line); }
int changedirectory(const std::string& line, const std::string&) {
  return commands::not_supported(line);
}
int makedirectory(const std::string& line, const std::string&) {
  return commands::not_supported(line);
}
int rm(const std::string& line, const std::string&, const std::string&) {
  return commands::not_supported(line);
}

}  // namespace fs
