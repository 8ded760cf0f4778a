#include "station/station_settings.h"

#include <fstream>

namespace station {

namespace {

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::optional<Asking> asking_of(const std::string& value) {
  if (value == "off") return Asking::kOff;
  if (value == "optional") return Asking::kOptional;
  if (value == "required") return Asking::kRequired;
  return std::nullopt;
}

// Quoted for a message: control characters shown, a long value cut.
std::string quoted(const std::string& value) {
  std::string out = "\"";
  for (std::size_t i = 0; i < value.size() && i < 60; ++i) {
    const auto c = static_cast<unsigned char>(value[i]);
    if (c < 0x20 || c == 0x7F) {
      static const char* digits = "0123456789abcdef";
      out += "\\x";
      out += digits[c >> 4];
      out += digits[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  if (value.size() > 60) out += "...";
  return out + "\"";
}

bool has_control_character(const std::string& text) {
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

}  // namespace

const char* asking_name(Asking asking) {
  switch (asking) {
    case Asking::kOff:
      return "off";
    case Asking::kOptional:
      return "optional";
    case Asking::kRequired:
      break;
  }
  return "required";
}

std::string StationSettingsFile::refusal(const std::string& file) const {
  for (const SettingProblem& p : problems) {
    if (!p.unknown_key) return file + " line " + std::to_string(p.line) + ": " + p.text;
  }
  return "";
}

StationSettingsFile read_station_settings(const std::string& file) {
  StationSettingsFile result;
  std::ifstream in(file);
  if (!in) return result;
  result.found = true;
  StationSettings& s = result.settings;
  std::string raw;
  int number = 0;
  auto problem = [&](const std::string& text, bool unknown = false) {
    result.problems.push_back({number, text, unknown});
  };
  while (std::getline(in, raw)) {
    ++number;
    const std::string line = trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const auto equals = line.find('=');
    if (equals == std::string::npos) {
      problem("not a setting: " + quoted(line) + " (KEY = VALUE)", true);
      continue;
    }
    const std::string key = trim(line.substr(0, equals));
    const std::string value = trim(line.substr(equals + 1));
    if (key == "records") continue;  // the records location reads it
    if (key == "unit-serial" || key == "operator") {
      const auto asking = asking_of(value);
      if (!asking) {
        problem(key + ": " + quoted(value) + " is not off, optional or required");
        continue;
      }
      (key == "unit-serial" ? s.unit_serial : s.operator_id) = *asking;
    } else if (key == "unit-serial-pattern") {
      s.unit_serial_pattern.clear();
      s.unit_serial_regex.reset();
      if (value.empty()) continue;  // any serial
      try {
        s.unit_serial_regex.emplace(value, std::regex::ECMAScript);
        s.unit_serial_pattern = value;
      } catch (const std::regex_error& e) {
        problem("unit-serial-pattern: " + quoted(value) + " is not a pattern: " + e.what());
      }
    } else if (key == "fixture-alarm") {
      const bool digits = !value.empty() && value.size() <= 4 &&
                          value.find_first_not_of("0123456789") == std::string::npos;
      if (!digits) {
        problem("fixture-alarm: " + quoted(value) +
                " is not a number of runs (0 turns the alarm off)");
        continue;
      }
      s.fixture_alarm = std::stoi(value);
    } else {
      problem("unknown setting " + quoted(key) +
                  " (known: records, unit-serial, unit-serial-pattern, operator, fixture-alarm)",
              true);
    }
  }
  return result;
}

std::string unit_serial_problem(const StationSettings& settings, const std::string& serial) {
  if (has_control_character(serial)) return "the unit serial " + quoted(serial) + " holds a control character";
  if (serial.size() > kLongestIdentity) {
    return "the unit serial is " + std::to_string(serial.size()) + " characters long, more than " +
           std::to_string(kLongestIdentity);
  }
  // Length first: the matcher recurses on the text, and a scanner gone wild
  // must not take the station down with it.
  if (settings.unit_serial_regex && !serial.empty() &&
      !std::regex_match(serial, *settings.unit_serial_regex)) {
    return "the unit serial " + quoted(serial) + " does not match the station's pattern " +
           settings.unit_serial_pattern;
  }
  return "";
}

std::string operator_id_problem(const std::string& id) {
  if (id.empty()) return "the operator id is empty";
  if (has_control_character(id)) return "the operator id " + quoted(id) + " holds a control character";
  if (id.size() > kLongestIdentity) {
    return "the operator id is " + std::to_string(id.size()) + " characters long, more than " +
           std::to_string(kLongestIdentity);
  }
  return "";
}

}  // namespace station
