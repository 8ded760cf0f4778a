#include "fs/nvm_reset.h"

#include "commands/command_support.h"

namespace fs {

int resetnvm(const std::string& line) { return commands::not_supported(line); }

}  // namespace fs
