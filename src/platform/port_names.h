// Which device file stands behind a port number: a "--device" override, else
// a line "N PATH" of the file "comports" in the start folder, else /dev/ttyS<N-1>.
#pragma once

#include <string>

namespace platform {

void set_device_override(int port, const std::string& path);
void clear_device_overrides();
std::string device_path_for_port(int port);

}  // namespace platform
