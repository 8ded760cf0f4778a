#include "cli/ports_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/serial_port_config.h"
#include "platform/serial_operations.h"
#include "platform/serial_port_list.h"

namespace cli {

namespace {

std::string access_text(const std::string& path) {
  const std::string why = platform::why_port_cannot_be_opened(path);
  return why.empty() ? "may be opened" : why;
}

std::string canonical(const std::string& path) {
  std::error_code ec;
  const auto c = std::filesystem::canonical(path, ec);
  return ec ? path : c.string();
}

int list_ports() {
  std::printf("Ports (a line \"N PATH\" of \"comports\" in this folder, else /dev/ttyS<N-1>):\n");
  std::vector<std::pair<int, std::string>> mapped;  // port number, device behind it
  for (int port = platform::kLowestPort; port <= platform::kHighestPort; ++port) {
    const std::string path = platform::device_path_for_port(port);
    const std::string device = canonical(path);
    mapped.emplace_back(port, device);
    const std::string shown = device == path ? path : path + " -> " + device;
    std::printf("  port %d  %-40s %s\n", port, shown.c_str(), access_text(path).c_str());
  }
  std::printf("Serial devices:\n");
  const auto devices = platform::list_serial_devices();
  if (devices.empty()) std::printf("  none found under /sys/class/tty\n");
  for (const auto& d : devices) {
    std::string ports;
    for (const auto& [port, device] : mapped) {
      if (device == d.path) ports += (ports.empty() ? "port " : ", ") + std::to_string(port);
    }
    std::printf("  %-14s %-10s %s\n", d.path.c_str(), ports.empty() ? "no port" : ports.c_str(),
                access_text(d.path).c_str());
    for (const auto& id : d.by_id) std::printf("      %s\n", id.c_str());
  }
  return 0;
}

}  // namespace

void add_ports_command(CLI::App& app, int* status) {
  CLI::App* sub = app.add_subcommand(
      "ports",
      "list the serial devices, their /dev/serial/by-id names, the port numbers that "
      "\"comports\" gives them, and whether this user may open each");
  sub->callback([status] { *status = list_ports(); });
}

}  // namespace cli
