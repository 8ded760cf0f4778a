#include "fs/readback.h"

#include "commands/command_support.h"

char IMEI_flag = 0;

namespace fs {

int frd(const std::string& line, const std::string&, const std::string&, std::string&) {
  return commands::not_supported(line);
}

}  // namespace fs
