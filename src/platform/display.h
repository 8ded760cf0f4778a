// Whether this session has a display that windows can be shown on.
#pragma once

namespace platform {

// A display server named in the environment (X11, Wayland) or a Qt platform
// chosen by hand (offscreen for tests). Without one a toolkit would end the
// process, so the front ends say so and return instead.
bool display_available();

}  // namespace platform
