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

// "ADDR:VALUE", both 0..255 / 0..65535 in C notation (0x5B:0x005B).
bool parse_register(const std::string& text, ParameterStore& store) {
  const auto colon = text.find(':');
  if (colon == std::string::npos) return false;
  std::uint16_t address = 0;
  std::uint16_t value = 0;
  if (!parse_u16(text.substr(0, colon), &address) || address > 0xFF) return false;
  if (!parse_u16(text.substr(colon + 1), &value)) return false;
  store.registers[static_cast<std::uint8_t>(address)] = value;
  return true;
}

// Up to 30 decimal digits, stored one value per byte as "stw 34" writes them.
bool parse_digits(const std::string& text, ParameterStore& store) {
  if (text.size() > store.digits.size()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  store.digits.fill(0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    store.digits[i] = static_cast<std::uint8_t>(text[i] - '0');
  }
  return true;
}

// Up to 20 characters, the rest zero bytes, as "stw 35" writes them.
bool parse_text(const std::string& text, ParameterStore& store) {
  if (text.size() > store.text.size()) return false;
  store.text.fill(0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    store.text[i] = static_cast<std::uint8_t>(text[i]);
  }
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
      {"register",
       {"ADDR:VALUE, a register that \"cr\" reads (0x5B:0x005B; repeat for more)",
        [](HandsetState& s, const std::string& v) { return parse_register(v, s.parameters); }}},
      {"digits",
       {"digits that \"str 35\" reads back, one per byte (up to 30, e.g. 123456)",
        [](HandsetState& s, const std::string& v) { return parse_digits(v, s.parameters); }}},
      {"text",
       {"text that \"str 36\" reads back (up to 20 characters)",
        [](HandsetState& s, const std::string& v) { return parse_text(v, s.parameters); }}},
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
