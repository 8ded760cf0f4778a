// "resetnvm": removes the NVM preset file and asks the handset for an NVM reset.
#pragma once

#include <string>

#include "link/link.h"

namespace fs {

// Status when the NVM preset file could not be removed (no reset is asked for).
constexpr int kStatusNvmFileNotRemoved = 9;

int resetnvm(wire::Link& link, const std::string& line);

// The directory request for "mmi", then the removal of "/mmi/NvmPreset":
// 0 when both succeeded, otherwise 100.
int RemoveNvmFile(wire::Link& link);

}  // namespace fs
