#include "sim/settings.h"

#include <cstdlib>
#include <functional>
#include <map>

namespace sim {

namespace {

bool parse_u16(const std::string& text, std::uint16_t* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 0);
  if (*end != '\0' || v < 0 || v > 0xFFFF) return false;
  *out = static_cast<std::uint16_t>(v);
  return true;
}

struct Setting {
  const char* help;
  std::function<bool(HandsetState&, const std::string&)> apply;
};

const std::map<std::string, Setting>& table() {
  static const std::map<std::string, Setting> kTable = {
      {"battery-low",
       {"first battery calibration value (0..65535)",
        [](HandsetState& s, const std::string& v) { return parse_u16(v, &s.battery_low); }}},
      {"battery-high",
       {"second battery calibration value (0..65535)",
        [](HandsetState& s, const std::string& v) { return parse_u16(v, &s.battery_high); }}},
      {"agc",
       {"AGC value that \"agcdcs\" reads (0..65535)",
        [](HandsetState& s, const std::string& v) {
          return parse_u16(v, &s.parameters.agc_value);
        }}},
      {"formatted",
       {"0: the flash holds no file system until formatted; 1 (default): it does",
        [](HandsetState& s, const std::string& v) {
          if (v != "0" && v != "1") return false;
          s.fs.formatted = v == "1";
          return true;
        }}},
  };
  return kTable;
}

}  // namespace

bool apply_setting(HandsetState& state, const std::string& key, const std::string& value,
                   std::string* error) {
  auto it = table().find(key);
  if (it == table().end()) {
    if (error) *error = "unknown setting \"" + key + "\"";
    return false;
  }
  if (!it->second.apply(state, value)) {
    if (error) *error = "bad value \"" + value + "\" for " + key + ": " + it->second.help;
    return false;
  }
  return true;
}

std::string settings_help() {
  std::string out;
  for (const auto& [key, setting] : table()) out += "    " + key + ": " + setting.help + "\n";
  return out;
}

}  // namespace sim
