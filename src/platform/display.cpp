#include "platform/display.h"

#include <cstdlib>
#include <initializer_list>

namespace platform {

bool display_available() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace platform
