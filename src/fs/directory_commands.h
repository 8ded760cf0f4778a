// Commands that shape the handset's file system: "mkfs", "cd", "mkdir", "rm".
#pragma once

#include <string>

namespace fs {

int mkfs(const std::string& line);
int changedirectory(const std::string& line, const std::string& directory);
int makedirectory(const std::string& line, const std::string& name);
int rm(const std::string& line, const std::string& directory, const std::string& name);

}  // namespace fs
