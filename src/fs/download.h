// "fwr": writes a PC file into the handset's file system.
#pragma once

#include <cstdio>
#include <string>

#include "fs/imei_guard.h"
#include "link/link.h"

namespace fs {

// pc_name is the runner's copy of word 3; the per-port suffix is appended to it.
// An IMEI file goes only while guard.IMEI_flag is 1.
int writefile(wire::Link& link, ImeiGuard& guard, const std::string& line,
              const std::string& directory, const std::string& handset_name, std::string& pc_name);

// The chunk writer: sends the open PC file from its first byte in write
// requests of 39 bytes, then the close request. Returns the status of the
// first failed exchange, 0 when the close request succeeded, or a refusal
// status when the PC file does not deliver `size` bytes (nothing is sent then).
int fwr(wire::Link& link, std::FILE* Filename, int size);

}  // namespace fs
