#include "fs/calibration_check.h"

#include "commands/command_support.h"

namespace fs {

int checkcalibration(const std::string& line) { return commands::not_supported(line); }

}  // namespace fs
