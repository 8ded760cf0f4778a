// Commands that need no file system: "tms" (test-mode entry), "ti", "se"
// and "sleep". Each returns its command status (0 = success).
#pragma once

#include <cstdint>
#include <string>

#include "link/link.h"
#include "link/request_ids.h"

namespace commands {

using wire::kTestModeRequest;
using wire::kTiRequest;
using wire::kSeRequest;
constexpr double kTestModeTimeout = 1.5;

int entertestmode(wire::Link& link, const std::string& line);
int ti(wire::Link& link, const std::string& line);
int se(wire::Link& link, const std::string& line, const std::string& value);
int sleep(wire::Link& link, const std::string& line, const std::string& delay);

}  // namespace commands
