#include "sim/nvm_preset.h"

namespace sim {

void restore_nvm_preset(FlashFs& fs) {
  fs.directories.insert(kNvmPresetDirectory);
  // A small record of defaults: a version, a count and some settings.
  fs.files[kNvmPresetPath] = {0x4E, 0x56, 0x01, 0x00, 0x08, 0x00, 0x00, 0x01,
                              0x03, 0x00, 0x1E, 0x00, 0x64, 0x00, 0xFF, 0xFF};
}

}  // namespace sim
