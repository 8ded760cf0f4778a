// "check": battery calibration values and the radio calibration files.
#pragma once

#include <string>

namespace fs {

int checkcalibration(const std::string& line);

}  // namespace fs
