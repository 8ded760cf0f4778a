// The station's settings: what each key takes, what a file with mistakes
// gives, and which serials a station takes.
#include "station/station_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "check/findings.h"
#include "check/settings_check.h"
#include "records/location.h"
#include "support/temp_dir.h"

namespace {

// What "ffsload check" says of the station's settings, and its counts.
struct SettingsCheck {
  std::string text;
  int errors = 0;
  int warnings = 0;
};

SettingsCheck check_settings() {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  check::Report report(out);
  check::check_station_settings(report);
  std::fclose(out);
  SettingsCheck checked{std::string(buffer, size), report.errors(), report.warnings()};
  std::free(buffer);
  return checked;
}

using station::Asking;
using testing_support::TempDir;

}  // namespace

TEST(StationSettings, a_station_without_the_file_or_the_keys_asks_for_nothing) {
  TempDir dir;
  auto file = station::read_station_settings();
  EXPECT_FALSE(file.found);
  EXPECT_EQ(file.settings.unit_serial, Asking::kOff);
  EXPECT_EQ(file.settings.operator_id, Asking::kOff);
  EXPECT_EQ(file.settings.fixture_alarm, 3);
  EXPECT_TRUE(file.settings.sound);  // the panels and the grid are heard
  EXPECT_FALSE(file.settings.login_required);  // as before people were kept
  EXPECT_EQ(file.settings.login_idle_minutes, 30);
  EXPECT_EQ(file.settings.login_lockout_minutes, 15);
  TempDir::write("ffsload.conf", "# records only\nrecords = other.sqlite\n");
  file = station::read_station_settings();
  EXPECT_TRUE(file.found);
  EXPECT_TRUE(file.problems.empty());
  EXPECT_EQ(file.settings.unit_serial, Asking::kOff);
  EXPECT_EQ(file.refusal(), "");
}

TEST(StationSettings, every_key_is_read_and_the_records_location_still_finds_its_line) {
  TempDir dir;
  TempDir::write("ffsload.conf",
                 "unit-serial = required\r\n"
                 "  unit-serial-pattern =  SN[0-9]{6}\n"
                 "operator=optional\n"
                 "fixture-alarm = 0\n"
                 "sound = off\n"
                 "login = required\n"
                 "login-idle = 0\n"
                 "login-lockout = 60\n"
                 "records = line.sqlite\n");
  const auto file = station::read_station_settings();
  EXPECT_TRUE(file.problems.empty());
  EXPECT_TRUE(file.settings.login_required);
  EXPECT_EQ(file.settings.login_idle_minutes, 0);
  EXPECT_EQ(file.settings.login_lockout_minutes, 60);
  EXPECT_EQ(file.settings.unit_serial, Asking::kRequired);
  ASSERT_TRUE(file.settings.unit_serial_pattern);
  EXPECT_EQ(file.settings.unit_serial_pattern->text(), "SN[0-9]{6}");
  EXPECT_EQ(file.settings.operator_id, Asking::kOptional);
  EXPECT_EQ(file.settings.fixture_alarm, 0);
  EXPECT_FALSE(file.settings.sound);
  EXPECT_EQ(records::resolve_location("").url, "line.sqlite");

  // Whole match: a serial with more around it is refused.
  EXPECT_EQ(station::unit_serial_problem(file.settings, "SN123456"), "");
  EXPECT_NE(station::unit_serial_problem(file.settings, "SN1234567"), "");
  EXPECT_NE(station::unit_serial_problem(file.settings, "xSN123456"), "");
  EXPECT_EQ(station::unit_serial_problem(file.settings, "SN12345"),
            "the unit serial \"SN12345\" does not match the station's pattern SN[0-9]{6}");
}

TEST(StationSettings, mistakes_are_named_by_line_and_only_unknown_keys_let_runs_go_on) {
  TempDir dir;
  TempDir::write("ffsload.conf",
                 "records = runs.sqlite\n"
                 "unit-serail = required\n"
                 "just words\n"
                 "operator = sometimes\n"
                 "unit-serial-pattern = SN([0-9]\n"
                 "fixture-alarm = -1\n"
                 "fixture-alarm = three\n"
                 "sound = off\n"
                 "sound = loud\n"
                 "login = yes\n"
                 "login-idle = -5\n"
                 "login-lockout = 0\n"
                 "login-idle = 99999\n");
  const auto file = station::read_station_settings();
  ASSERT_EQ(file.problems.size(), 11u);
  EXPECT_EQ(file.problems[0].line, 2);
  EXPECT_TRUE(file.problems[0].unknown_key);
  EXPECT_TRUE(file.problems[1].unknown_key);
  EXPECT_EQ(file.problems[2].line, 4);
  EXPECT_EQ(file.problems[2].text, "operator: \"sometimes\" is not off, optional or required");
  EXPECT_EQ(file.problems[3].line, 5);
  EXPECT_EQ(file.problems[3].text,
            "unit-serial-pattern: \"SN([0-9]\" is not a pattern RE2 takes: missing ): SN([0-9]");
  EXPECT_EQ(file.problems[4].line, 6);
  EXPECT_EQ(file.problems[5].line, 7);
  EXPECT_EQ(file.problems[6].line, 9);
  EXPECT_EQ(file.problems[6].text, "sound: \"loud\" is not on or off");
  EXPECT_EQ(file.problems[7].text, "login: \"yes\" is not required or off");
  EXPECT_EQ(file.problems[8].text,
            "login-idle: \"-5\" is not a number of minutes from 0 (never) to 10080");
  EXPECT_EQ(file.problems[9].text,
            "login-lockout: \"0\" is not a number of minutes from 1 to 10080");
  EXPECT_EQ(file.problems[10].line, 13);
  EXPECT_EQ(file.refusal(),
            "ffsload.conf line 4: operator: \"sometimes\" is not off, optional or required");
  // A bad value leaves its default: nothing is half-set.
  EXPECT_EQ(file.settings.operator_id, Asking::kOff);
  EXPECT_FALSE(file.settings.unit_serial_pattern);
  EXPECT_EQ(file.settings.fixture_alarm, 3);
  EXPECT_FALSE(file.settings.sound);  // the good line before stands
  EXPECT_FALSE(file.settings.login_required);
  EXPECT_EQ(file.settings.login_idle_minutes, 30);
  EXPECT_EQ(file.settings.login_lockout_minutes, 15);

  const SettingsCheck checked = check_settings();
  const std::string& text = checked.text;
  EXPECT_EQ(checked.errors, 9);
  EXPECT_EQ(checked.warnings, 2);
  EXPECT_NE(text.find("ffsload.conf:2: warning: unknown setting \"unit-serail\""),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("ffsload.conf:5: error: unit-serial-pattern: "), std::string::npos) << text;
  EXPECT_NE(text.find("ffsload.conf:9: error: sound: \"loud\" is not on or off; runs and panels "
                      "refuse to start"),
            std::string::npos)
      << text;
}

TEST(StationSettings, serials_a_scanner_or_a_person_should_not_send_are_refused_not_stored) {
  station::StationSettings any;  // no pattern
  EXPECT_EQ(station::unit_serial_problem(any, "SN 0042/a"), "");
  EXPECT_EQ(station::unit_serial_problem(any, "SN\x1b[2J"),
            "the unit serial \"SN\\u001B[2J\" holds U+001B, a control character");
  EXPECT_NE(station::unit_serial_problem(any, std::string("SN\0X", 4)), "");
  EXPECT_EQ(station::unit_serial_problem(any, std::string(1000, '7')),
            "the unit serial is 1000 characters long, more than 128");
  // Letters beyond ASCII are serials like any others.
  EXPECT_EQ(station::unit_serial_problem(any, "SN-\xc3\xa9\xe2\x82\xac"), "");
  EXPECT_EQ(station::operator_id_problem("J\xc3\xbcrgen"), "");

  EXPECT_EQ(station::operator_id_problem("anna"), "");
  EXPECT_NE(station::operator_id_problem(""), "");
  EXPECT_NE(station::operator_id_problem("an\tna"), "");
}

// Every class of character that hides or reorders a text, as a scanner
// gone wrong or someone spoofing another id would send it; each named.
TEST(StationSettings, identities_refuse_characters_that_hide_or_reorder_text_and_name_them) {
  const std::pair<std::string, std::string> cases[] = {
      {"SN\x7f", "U+007F, a control character"},
      {"SN\xc2\x85", "U+0085, a control character"},  // C1: NEXT LINE
      {"SN\xc2\x9b", "U+009B, a control character"},  // C1: the terminal's CSI
      {"SN\u200E1", "U+200E LEFT-TO-RIGHT MARK, a bidirectional control"},
      {"SN\u200F1", "U+200F RIGHT-TO-LEFT MARK, a bidirectional control"},
      {"SN\u202A1", "U+202A LEFT-TO-RIGHT EMBEDDING, a bidirectional control"},
      {"SN\u202E21", "U+202E RIGHT-TO-LEFT OVERRIDE, a bidirectional control"},
      {"SN\u20661", "U+2066 LEFT-TO-RIGHT ISOLATE, a bidirectional control"},
      {"SN\u20691", "U+2069 POP DIRECTIONAL ISOLATE, a bidirectional control"},
      {"SN\u200B1", "U+200B ZERO WIDTH SPACE, an invisible format character"},
      {"SN\u00AD1", "U+00AD SOFT HYPHEN, an invisible format character"},
      {"SN\uFEFF1", "U+FEFF ZERO WIDTH NO-BREAK SPACE, an invisible format character"},
      {"SN\U000E00011", "U+E0001 LANGUAGE TAG, an invisible format character"},
      {"SN\u20281", "U+2028 LINE SEPARATOR, a line break"},
      {"SN\xe9", "the byte 0xE9, which is not UTF-8"},          // Latin-1
      {"SN\xc0\xaf", "the byte 0xC0, which is not UTF-8"},      // an overlong "/"
      {"SN\xed\xa0\x80", "the byte 0xED, which is not UTF-8"},  // a surrogate
      {"SN\xe2\x80", "the byte 0xE2, which is not UTF-8"},      // cut short
  };
  const station::StationSettings any;
  for (const auto& [text, named] : cases) {
    const std::string serial = station::unit_serial_problem(any, text);
    const std::string id = station::operator_id_problem(text);
    EXPECT_NE(serial.find(" holds " + named), std::string::npos) << serial;
    EXPECT_NE(id.find(" holds " + named), std::string::npos) << id;
    // The message itself shows the character written out, never applied.
    EXPECT_TRUE(std::all_of(serial.begin(), serial.end(), [](char c) {
      return c >= 0x20 && c < 0x7F;
    })) << serial;
  }
  EXPECT_EQ(station::operator_id_problem("ann\u202Ea"),
            "the operator id \"ann\\u202Ea\" holds U+202E RIGHT-TO-LEFT OVERRIDE, a "
            "bidirectional control");
}

TEST(StationSettings,
     a_pattern_is_matched_whole_in_linear_time_and_one_re2_cannot_take_stops_the_station) {
  TempDir dir;
  TempDir::write("ffsload.conf", "unit-serial-pattern = ([A-Z0-9]+-?)+\n");
  auto file = station::read_station_settings();
  ASSERT_TRUE(file.problems.empty());
  const station::StationSettings& nested = file.settings;
  EXPECT_EQ(station::unit_serial_problem(nested, "AB12-CD34-EF"), "");
  EXPECT_EQ(station::unit_serial_problem(nested, "AB12-"), "");
  EXPECT_NE(station::unit_serial_problem(nested, "-AB12"), "");
  EXPECT_NE(station::unit_serial_problem(nested, "ab12"), "");
  // The scan that took the old matcher hours: answered at once (the time is
  // the benchmark's to show, the answer is this test's).
  EXPECT_NE(station::unit_serial_problem(nested, std::string(127, 'A') + "!"), "");
  EXPECT_EQ(station::unit_serial_problem(nested, std::string(128, 'A')), "");

  TempDir::write("ffsload.conf",
                 "unit-serial = required\n"
                 "unit-serial-pattern = (SN)[0-9]+\\1\n"
                 "unit-serial-pattern = (?=SN)[A-Z0-9]+\n"
                 "unit-serial-pattern = (?i)sn[0-9]{4}\n");
  file = station::read_station_settings();
  ASSERT_EQ(file.problems.size(), 2u);
  EXPECT_EQ(file.problems[0].line, 2);
  EXPECT_EQ(file.problems[0].text,
            "unit-serial-pattern: \"(SN)[0-9]+\\1\" is not a pattern RE2 takes: invalid escape "
            "sequence: \\1 (back-references and look-around are not taken: a serial is matched "
            "in time linear in its length)");
  EXPECT_EQ(file.problems[1].line, 3);
  EXPECT_NE(file.problems[1].text.find("invalid perl operator: (?="), std::string::npos);
  EXPECT_EQ(file.refusal().rfind("ffsload.conf line 2: unit-serial-pattern: ", 0), 0u);
  // The last line is a good pattern, yet the station stays stopped: a bad
  // line is a mistake to mend, not one to skip.
  ASSERT_TRUE(file.settings.unit_serial_pattern);
  EXPECT_EQ(station::unit_serial_problem(file.settings, "Sn0042"), "");

  const SettingsCheck checked = check_settings();
  const std::string& text = checked.text;
  EXPECT_EQ(checked.errors, 2);
  EXPECT_NE(text.find("ffsload.conf:2: error: unit-serial-pattern: \"(SN)[0-9]+\\1\" is not a "
                      "pattern RE2 takes"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("ffsload.conf:3: error: "), std::string::npos) << text;
}
