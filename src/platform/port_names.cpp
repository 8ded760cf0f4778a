#include "platform/port_names.h"

#include <fstream>
#include <map>
#include <sstream>

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

std::string device_path_for_port(int port) {
  if (auto it = g_overrides.find(port); it != g_overrides.end()) return it->second;
  if (std::string path = from_comports_file(port); !path.empty()) return path;
  return "/dev/ttyS" + std::to_string(port - 1);
}

}  // namespace platform
