// The serial devices of this machine and whether this user may open them:
// for "ffsload ports", so that a station is set up without guessing.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct SerialDeviceInfo {
  std::string path;                // /dev/ttyUSB0
  std::vector<std::string> by_id;  // its stable names under /dev/serial/by-id/
};

// The tty devices that stand for hardware (/sys/class/tty/*/device), without
// the built-in ttyS slots that have no UART behind them, sorted by path.
std::vector<SerialDeviceInfo> list_serial_devices();

// Why this user cannot open path for a run, in plain words; empty when it
// can. Looks at the permissions (and the dialout group), a program that
// holds the port for exclusive use, and a lock held by another process
// (with its process id and name where /proc/locks tells them).
std::string why_port_cannot_be_opened(const std::string& path);

}  // namespace platform
