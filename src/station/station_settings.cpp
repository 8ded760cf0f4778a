#include "station/station_settings.h"

#include <algorithm>
#include <fstream>

#include "station/ui_language.h"
#include "text/hidden_characters.h"

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

// Quoted for a message: hidden characters written out, a long value cut.
std::string quoted(const std::string& value) {
  std::size_t cut = value.size() > 60 ? 60 : value.size();
  // Not inside a character: its first bytes alone would read as not UTF-8.
  while (cut < value.size() && cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  const std::string shown = text::shown_visibly(std::string_view(value).substr(0, cut));
  return "\"" + shown + (cut < value.size() ? "..." : "") + "\"";
}

// "the unit serial \"SN\u202E21\" holds U+202E RIGHT-TO-LEFT OVERRIDE, a
// bidirectional control", or "" when `text` holds no such character.
std::string hidden_character_problem(const char* what, const std::string& text) {
  const auto hidden = text::first_hidden_character(text);
  if (!hidden) return "";
  return std::string(what) + " " + quoted(text) + " holds " + hidden->description;
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
  int cfx_line = 0;  // where the findings of the cfx settings together point
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
      s.unit_serial_pattern.reset();
      if (value.empty()) continue;  // any serial
      std::string why;
      s.unit_serial_pattern = SerialPattern::compile(value, &why);
      if (!s.unit_serial_pattern) {
        problem("unit-serial-pattern: " + quoted(value) + " is not a pattern RE2 takes: " + why);
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
    } else if (key == "login") {
      if (value != "required" && value != "off") {
        problem("login: " + quoted(value) + " is not required or off");
        continue;
      }
      s.login_required = value == "required";
    } else if (key == "login-idle" || key == "login-lockout") {
      // Up to a week: beyond it a typing slip, not a choice.
      const bool digits = !value.empty() && value.size() <= 5 &&
                          value.find_first_not_of("0123456789") == std::string::npos &&
                          std::stoi(value) <= 7 * 24 * 60;
      const bool lockout = key == "login-lockout";
      if (!digits || (lockout && std::stoi(value) == 0)) {
        problem(key + ": " + quoted(value) + " is not a number of minutes" +
                (lockout ? " from 1 to 10080" : " from 0 (never) to 10080"));
        continue;
      }
      (lockout ? s.login_lockout_minutes : s.login_idle_minutes) = std::stoi(value);
    } else if (key == "sound") {
      if (value != "on" && value != "off") {
        problem("sound: " + quoted(value) + " is not on or off");
        continue;
      }
      s.sound = value == "on";
    } else if (key == "language") {
      s.language.clear();
      if (std::find(ui_languages().begin(), ui_languages().end(), value) != ui_languages().end()) {
        s.language = value;
      } else {
        // Reported by "ffsload check"; the windows are English meanwhile, so
        // the station still runs.
        problem("language: " + quoted(value) + " is not one of " + ui_language_list() +
                    " (the windows are in English)",
                true);
      }
    } else if (cfx::is_cfx_key(key)) {
      cfx_line = number;
      if (std::string why = cfx::read_cfx_setting(&s.cfx, key, value); !why.empty()) problem(why);
    } else {
      problem("unknown setting " + quoted(key) +
                  " (known: records, unit-serial, unit-serial-pattern, operator, fixture-alarm, "
                  "language, sound, login, login-idle, login-lockout, cfx-broker, cfx-password-file, cfx-target, cfx-handle, "
                  "cfx-heartbeat, cfx-validate, cfx-mes, cfx-validate-timeout, cfx-listen, "
                  "cfx-mes-handles, cfx-tls-cert, cfx-tls-key, cfx-tls-ca)",
              true);
    }
  }
  number = cfx_line;
  for (const std::string& why : cfx::finish_cfx_settings(&s.cfx)) problem(why);
  return result;
}

std::string unit_serial_problem(const StationSettings& settings, const std::string& serial) {
  if (serial.size() > kLongestIdentity) {
    return "the unit serial is " + std::to_string(serial.size()) + " characters long, more than " +
           std::to_string(kLongestIdentity);
  }
  if (std::string why = hidden_character_problem("the unit serial", serial); !why.empty()) {
    return why;
  }
  if (settings.unit_serial_pattern && !serial.empty() &&
      !settings.unit_serial_pattern->matches_whole(serial)) {
    return "the unit serial " + quoted(serial) + " does not match the station's pattern " +
           settings.unit_serial_pattern->text();
  }
  return "";
}

std::string operator_id_problem(const std::string& id) {
  if (id.empty()) return "the operator id is empty";
  if (id.size() > kLongestIdentity) {
    return "the operator id is " + std::to_string(id.size()) + " characters long, more than " +
           std::to_string(kLongestIdentity);
  }
  return hidden_character_problem("the operator id", id);
}

}  // namespace station
