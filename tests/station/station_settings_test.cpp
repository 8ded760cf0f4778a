// The station's settings: what each key takes, what a file with mistakes
// gives, and which serials a station takes.
#include "station/station_settings.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "check/findings.h"
#include "check/settings_check.h"
#include "records/location.h"
#include "support/temp_dir.h"

namespace {

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
                 "records = line.sqlite\n");
  const auto file = station::read_station_settings();
  EXPECT_TRUE(file.problems.empty());
  EXPECT_EQ(file.settings.unit_serial, Asking::kRequired);
  EXPECT_EQ(file.settings.unit_serial_pattern, "SN[0-9]{6}");
  EXPECT_EQ(file.settings.operator_id, Asking::kOptional);
  EXPECT_EQ(file.settings.fixture_alarm, 0);
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
                 "fixture-alarm = three\n");
  const auto file = station::read_station_settings();
  ASSERT_EQ(file.problems.size(), 6u);
  EXPECT_EQ(file.problems[0].line, 2);
  EXPECT_TRUE(file.problems[0].unknown_key);
  EXPECT_TRUE(file.problems[1].unknown_key);
  EXPECT_EQ(file.problems[2].line, 4);
  EXPECT_EQ(file.problems[2].text, "operator: \"sometimes\" is not off, optional or required");
  EXPECT_EQ(file.problems[3].line, 5);
  EXPECT_NE(file.problems[3].text.find("unit-serial-pattern: \"SN([0-9]\" is not a pattern"),
            std::string::npos);
  EXPECT_EQ(file.problems[4].line, 6);
  EXPECT_EQ(file.problems[5].line, 7);
  EXPECT_EQ(file.refusal(),
            "ffsload.conf line 4: operator: \"sometimes\" is not off, optional or required");
  // A bad value leaves its default: nothing is half-set.
  EXPECT_EQ(file.settings.operator_id, Asking::kOff);
  EXPECT_FALSE(file.settings.unit_serial_regex);
  EXPECT_EQ(file.settings.fixture_alarm, 3);

  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  check::Report report(out);
  check::check_station_settings(report);
  std::fclose(out);
  const std::string text(buffer, size);
  std::free(buffer);
  EXPECT_EQ(report.errors(), 4);
  EXPECT_EQ(report.warnings(), 2);
  EXPECT_NE(text.find("ffsload.conf:2: warning: unknown setting \"unit-serail\""), std::string::npos)
      << text;
  EXPECT_NE(text.find("ffsload.conf:5: error: unit-serial-pattern: "), std::string::npos) << text;
}

TEST(StationSettings, serials_a_scanner_or_a_person_should_not_send_are_refused_not_stored) {
  station::StationSettings any;  // no pattern
  EXPECT_EQ(station::unit_serial_problem(any, "SN 0042/a"), "");
  EXPECT_EQ(station::unit_serial_problem(any, "SN\x1b[2J"),
            "the unit serial \"SN\\x1b[2J\" holds a control character");
  EXPECT_NE(station::unit_serial_problem(any, std::string("SN\0X", 4)), "");
  EXPECT_EQ(station::unit_serial_problem(any, std::string(1000, '7')),
            "the unit serial is 1000 characters long, more than 128");
  // Bytes that are not UTF-8 are a serial like any other: the records store
  // them as Latin-1 text.
  EXPECT_EQ(station::unit_serial_problem(any, "SN\xe9\xff"), "");

  station::StationSettings strict;
  strict.unit_serial_pattern = "(a|b)*c";
  strict.unit_serial_regex.emplace(strict.unit_serial_pattern, std::regex::ECMAScript);
  EXPECT_EQ(station::unit_serial_problem(strict, std::string(127, 'a') + "c"), "");
  EXPECT_NE(station::unit_serial_problem(strict, std::string(5000, 'a')), "");

  EXPECT_EQ(station::operator_id_problem("anna"), "");
  EXPECT_NE(station::operator_id_problem(""), "");
  EXPECT_NE(station::operator_id_problem("an\tna"), "");
}
