// Commands that shape the handset's file system: "mkfs", "cd", "mkdir", "rm".
#pragma once

#include <string>

#include "fs/imei_guard.h"
#include "link/link.h"

namespace fs {

// The format: noted in guard (and its keeper) before the handset hears of it.
int mkfs(wire::Link& link, ImeiGuard& guard, const std::string& line);
int changedirectory(wire::Link& link, const std::string& line, const std::string& directory);
int makedirectory(wire::Link& link, const std::string& line, const std::string& name);
int rm(wire::Link& link, const std::string& line, const std::string& directory,
       const std::string& name);

}  // namespace fs
