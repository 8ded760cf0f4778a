// Commands that need no file system: "tms" (test-mode entry), "ti", "se"
// and "sleep". Each returns its command status (0 = success).
#pragma once

#include "link/request_ids.h"

#include <cstdint>
#include <string>

namespace commands {

using wire::kTestModeRequest;
using wire::kTiRequest;
using wire::kSeRequest;
constexpr double kTestModeTimeout = 1.5;

int entertestmode(const std::string& line);
int ti(const std::string& line);
int se(const std::string& line, const std::string& value);
int sleep(const std::string& line, const std::string& delay);

}  // namespace commands
