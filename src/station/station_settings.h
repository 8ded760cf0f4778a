// The station's settings in "ffsload.conf" beside "records = URL": whether a
// run asks for the unit's serial and the operator's id, the pattern a serial
// must match, and the fixture alarm's run count. Every setting is off by
// default, so a station without them runs as it always has.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cfx/cfx_settings.h"
#include "station/serial_pattern.h"

namespace station {

constexpr const char* kStationSettingsFile = "ffsload.conf";

// How a station asks for a value: not at all, or with or without insisting.
enum class Asking { kOff, kOptional, kRequired };

// The longest unit serial or operator id a run takes: far beyond any
// barcode a line prints, short enough to show on a panel.
constexpr std::size_t kLongestIdentity = 128;

struct StationSettings {
  Asking unit_serial = Asking::kOff;
  std::optional<SerialPattern> unit_serial_pattern;  // absent: any serial
  Asking operator_id = Asking::kOff;
  int fixture_alarm = 3;  // K red runs in a row on K units; 0 is off
  bool sound = true;      // the panels' and the grid's sounds at a run's end and a question
  cfx::Settings cfx;      // the factory network's messages; off without cfx-broker
  // The windows' language (station/ui_language.h); "" leaves it to the desktop.
  std::string language;
  // Whether a run needs a person who logs in with a PIN, and whether a
  // privileged action needs the acting person's role and PIN; off: as
  // before people were kept.
  bool login_required = false;
  // Minutes without a run after which a login ends; 0 never.
  int login_idle_minutes = 30;
  // Minutes an id stays locked out after too many wrong PINs.
  int login_lockout_minutes = 15;
};

// A line of the file that is not a setting this program knows how to use.
struct SettingProblem {
  int line = 0;
  std::string text;  // "unit-serial: \"sometimes\" is not off, optional or required"
  // A key this program does not know: "ffsload check" reports it, runs go
  // on without it (as they always have) since it sets nothing.
  bool unknown_key = false;
};

struct StationSettingsFile {
  bool found = false;
  StationSettings settings;
  std::vector<SettingProblem> problems;
  // The first problem that stops the station ("ffsload.conf line 4: ..."),
  // "" when the settings can be used.
  std::string refusal(const std::string& file = kStationSettingsFile) const;
};

// Reads `file` (a missing file is a station without settings). '#' starts a
// comment line; each setting is "KEY = VALUE". A later line of the same key
// wins. A bad value leaves that setting at its default and is a problem.
StationSettingsFile read_station_settings(const std::string& file = kStationSettingsFile);

// Why `serial` cannot be a unit serial on this station: a character that
// hides or reorders text (a control, a bidirectional or other format
// character, a line break, bytes that are not UTF-8; text/hidden_characters),
// too long, or not matching the pattern (whole); "" when it can. An empty
// serial is not judged here (the caller knows whether one is required).
// Every front end asks this, so the panel, the grid and the command line
// take the same serials.
std::string unit_serial_problem(const StationSettings& settings, const std::string& serial);

// Why `id` cannot be an operator id: empty, a character as above, too long.
std::string operator_id_problem(const std::string& id);

// "off", "optional", "required"
const char* asking_name(Asking asking);

}  // namespace station
