// The NVM preset file that the handset's firmware keeps in its file system.
// The firmware writes it back whenever the flash is formatted, so a station
// that formats a handset can then remove it before an NVM reset.
#pragma once

#include <string>

#include "sim/handset_state.h"

namespace sim {

inline const std::string kNvmPresetDirectory = "/mmi";
inline const std::string kNvmPresetPath = "/mmi/NvmPreset";

// Makes "/mmi" and writes the firmware's default "/mmi/NvmPreset".
void restore_nvm_preset(FlashFs& fs);

}  // namespace sim
