// "ffsload run" on a station that asks for unit serials and operators: the
// refusals, the record's new fields, the attempt and the fixture alarm.
#include <cstdlib>
#include <filesystem>

#include "records/sqlite_store.h"
#include "support/e2e_support.h"
#include "support/hidden_identities.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

void make_station(const std::string& settings) {
  TempDir::write("custdefine", "1 t.tms\n");
  std::filesystem::create_directory("t");
  TempDir::write("t/MA_NO", "ORD4711");
  TempDir::write("t.tms", "tms 1\nti\n");
  TempDir::write("ffsload.conf", settings);
}

std::vector<records::Row> rows(const std::string& sql) {
  records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
  return store.query(sql, {});
}

}  // namespace

TEST(EndToEndUnits, required_serial_and_operator_are_checked_before_anything_runs) {
  unsetenv("FFSLOAD_RECORDS");
  TempDir dir;
  make_station("unit-serial = required\nunit-serial-pattern = SN[0-9]{4}\noperator = required\n");
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({}));
  std::vector<std::string> run{"run", "--port", "3", "--device", sim.device(), "--customer", "1"};

  auto result = e2e::run_ffsload(run, dir.path());
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find("requires the unit's serial"), std::string::npos) << result.err;
  auto with = run;
  with.insert(with.end(), {"--unit", "SN12", "--operator", "anna"});
  result = e2e::run_ffsload(with, dir.path());
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find("\"SN12\" does not match the station's pattern SN[0-9]{4}"),
            std::string::npos)
      << result.err;
  with = run;
  with.insert(with.end(), {"--unit", "SN0001"});
  result = e2e::run_ffsload(with, dir.path());
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find("requires the operator's id"), std::string::npos) << result.err;
  EXPECT_FALSE(std::filesystem::exists("runs.sqlite"));

  with.insert(with.end(), {"--operator", "anna"});
  result = e2e::run_ffsload(with, dir.path());
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.err.find("ffsload: unit SN0001: attempt 1\n"), std::string::npos) << result.err;
  result = e2e::run_ffsload(with, dir.path());
  EXPECT_NE(result.err.find("ffsload: unit SN0001: attempt 2, passed before at "),
            std::string::npos)
      << result.err;
  EXPECT_EQ(rows("SELECT unit_serial, operator, attempt, fixture = device, outcome FROM runs "
                 "ORDER BY id"),
            (std::vector<records::Row>{{"SN0001", "anna", "1", "1", "green"},
                                       {"SN0001", "anna", "2", "1", "green"}}));

  // A pattern that does not compile stops every run, naming its line.
  TempDir::write("ffsload.conf", "unit-serial = optional\nunit-serial-pattern = SN[0-9\n");
  result = e2e::run_ffsload(with, dir.path());
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find("ffsload: ffsload.conf line 2: unit-serial-pattern: "),
            std::string::npos)
      << result.err;
  const auto check = e2e::run_ffsload({"check"}, dir.path());
  EXPECT_EQ(check.exit_code, 2);
  EXPECT_NE(check.out.find("ffsload.conf:2: error: "), std::string::npos) << check.out;
}

TEST(EndToEndUnits, unit_and_operator_that_hide_or_reorder_text_are_refused_naming_the_character) {
  unsetenv("FFSLOAD_RECORDS");
  TempDir dir;
  make_station("unit-serial = optional\noperator = optional\n");
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({}));
  const std::vector<std::string> run{"run",        "--port",     "3", "--device",
                                     sim.device(), "--customer", "1"};
  for (const auto& sample : testing_support::hidden_identities()) {
    for (const char* option : {"--unit", "--operator"}) {
      auto with = run;
      with.insert(with.end(), {option, sample.text});
      const auto result = e2e::run_ffsload(with, dir.path());
      EXPECT_EQ(result.exit_code, 2) << sample.what << " " << option;
      EXPECT_NE(result.err.find(" holds " + sample.named), std::string::npos)
          << sample.what << " " << option << ": " << result.err;
    }
  }
  EXPECT_FALSE(std::filesystem::exists("runs.sqlite"));
}

TEST(EndToEndUnits, a_fixture_that_fails_unit_after_unit_is_named_until_a_green_run) {
  unsetenv("FFSLOAD_RECORDS");
  TempDir dir;
  make_station("unit-serial = optional\nfixture-alarm = 2\n");
  std::string err;
  {
    e2e::SimProcess failing;
    ASSERT_TRUE(failing.start({"--fault", "refuse:0x20:1:1000"}));
    for (const char* unit : {"A1", "A1", "B2"}) {
      const auto result = e2e::run_ffsload(
          {"run", "--port", "3", "--device", failing.device(), "--customer", "1", "--unit", unit},
          dir.path());
      EXPECT_EQ(result.exit_code, 1);
      err = result.err;
      // Two red runs of one unit are the unit's, not the fixture's.
      if (std::string(unit) == "A1") {
        EXPECT_EQ(err.find("check the fixture"), std::string::npos) << err;
      }
    }
  }
  EXPECT_NE(err.find("ffsload: check the fixture on port 3: 3 red runs in a row\n"
                     "ffsload:   failing line 2: ti (3x)\n"),
            std::string::npos)
      << err;
  e2e::SimProcess good;
  ASSERT_TRUE(good.start({}));
  const auto result = e2e::run_ffsload(
      {"run", "--port", "3", "--device", good.device(), "--customer", "1"}, dir.path());
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err.find("check the fixture"), std::string::npos) << result.err;
}
