#include "platform/serial_port_config.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/serial_operations.h"

namespace platform {

namespace {
std::map<int, std::string> g_overrides;

std::string from_comports_file(int port) {
  std::ifstream in("comports");
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    int number = 0;
    std::string path;
    if (!(words >> number >> path)) continue;  // blank, comment or malformed lines
    if (number == port) return path;
  }
  return {};
}
}  // namespace

bool comports_checks_reply_checksum() {
  std::ifstream in("comports");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string key;
    std::string value;
    if (!(words >> key) || key != "check-reply-checksum") continue;
    words >> value;
    return value.empty() || value == "on";
  }
  return false;
}

void set_device_override(int port, const std::string& path) {
  g_overrides[port] = path;
}

void clear_device_overrides() {
  g_overrides.clear();
}

ComportsListing list_comports_ports(const std::string& file) {
  ComportsListing listing;
  std::ifstream in(file);
  listing.file_found = static_cast<bool>(in);
  std::map<int, int> line_of_port;            // port -> its line
  std::map<std::string, int> port_of_device;  // device as found on disk -> its port
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string where = "comports line " + std::to_string(number) + ": ";
    std::istringstream words(line);
    std::string first;
    std::string device;
    if (!(words >> first) || first.starts_with('#') || first == "check-reply-checksum") continue;
    words >> device;
    if (first.find_first_not_of("0123456789") != std::string::npos) {
      listing.problems.push_back(where + "\"" + line +
                                 "\" is not \"N PATH\" (a port 1 to 8 and its device): left out");
      continue;
    }
    const int port = first.size() > 2 ? 0 : std::stoi(first);
    if (port < kLowestPort || port > kHighestPort) {
      listing.problems.push_back(where + "port " + first + " is not a port 1 to 8: left out");
      continue;
    }
    if (device.empty()) {
      listing.problems.push_back(where + "port " + first + " names no device: left out");
      continue;
    }
    if (auto seen = line_of_port.find(port); seen != line_of_port.end()) {
      listing.problems.push_back(where + "port " + first + " is listed again (line " +
                                 std::to_string(seen->second) + " gives its device): left out");
      continue;
    }
    line_of_port[port] = number;
    std::error_code ec;
    const auto real = std::filesystem::canonical(device, ec);
    const std::string key = ec ? device : real.string();
    if (auto other = port_of_device.find(key); other != port_of_device.end()) {
      // Kept: the exclusive open lets one of the two have it and says so on the other.
      listing.problems.push_back(where + "port " + first + " names the device of port " +
                                 std::to_string(other->second) + " (" + key +
                                 "): only one of them can open it");
    } else {
      port_of_device[key] = port;
    }
    listing.ports.push_back({port, device});
  }
  return listing;
}

std::string device_path_for_port(int port) {
  if (auto it = g_overrides.find(port); it != g_overrides.end()) return it->second;
  if (std::string path = from_comports_file(port); !path.empty()) return path;
  return "/dev/ttyS" + std::to_string(port - 1);
}

}  // namespace platform
