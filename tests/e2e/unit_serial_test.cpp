// "ffsload run" on a station that asks for unit serials and operators: the
// refusals, the record's new fields, the attempt and the fixture alarm.
#include <cstdlib>
#include <filesystem>

#include "people/audit_event.h"
#include "records/schema.h"
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

TEST(EndToEndUnits, with_login_required_the_record_names_the_person_checked_and_the_trail_the_run) {
  unsetenv("FFSLOAD_RECORDS");
  TempDir dir;
  make_station("login = required\n");
  const auto added = [&](const std::vector<std::string>& args, const std::string& pins) {
    return e2e::run_ffsload(args, dir.path(), pins).exit_code == 0;
  };
  ASSERT_TRUE(added({"people", "add", "erik", "--role", "engineer", "--pin-fd", "0"}, "2222\n"));
  ASSERT_TRUE(added({"people", "add", "olga", "--role", "operator", "--badge", "B-7", "--pin-fd",
                     "0", "--by", "erik", "--by-pin-fd", "0"},
                    "2222\n5555\n"));
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({}));
  const std::vector<std::string> run{"run",        "--port",     "3",          "--device",
                                     sim.device(), "--customer", "1",          "--operator",
                                     "B-7",        "--pin-fd",   "0"};
  auto result = e2e::run_ffsload(run, dir.path(), "5555\n");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const auto record = rows("SELECT uid, operator FROM runs");
  ASSERT_EQ(record.size(), 1u);
  EXPECT_EQ(record[0][1], "olga");  // the person the badge found, not the text typed

  // Five wrong PINs lock the id out; then not even the right one runs, and
  // the handset is never reached: no record, nothing on the port.
  for (int i = 0; i < 5; ++i) {
    result = e2e::run_ffsload(run, dir.path(), "0000\n");
    EXPECT_EQ(result.exit_code, 2);
  }
  EXPECT_NE(result.err.find("locked out until"), std::string::npos) << result.err;
  result = e2e::run_ffsload(run, dir.path(), "5555\n");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.err.find("olga is locked out"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("port 3, device"), std::string::npos) << result.err;
  EXPECT_EQ(rows("SELECT count(*) FROM runs")[0][0], "1");

  // The trail: the login, the run's start and end with its record's
  // digest, the logout; the failed logins and the lock-out after.
  const auto events = rows(
      "SELECT kind, actor, outcome, run_uid, record_digest FROM audit_events ORDER BY number");
  ASSERT_GE(events.size(), 6u);
  EXPECT_EQ(events[2][0], "login");
  EXPECT_EQ(events[2][1], "olga");
  EXPECT_EQ(events[3][0], "run start");
  EXPECT_EQ(events[4][0], "run end");
  EXPECT_EQ(events[4][2], "green");
  EXPECT_EQ(events[4][3], record[0][0]);
  records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
  const auto values = store.query(std::string("SELECT ") + records::kRecordColumns + " FROM runs",
                                  {});
  EXPECT_EQ(events[4][4], people::record_digest(records::record_from_values(values[0])));
  EXPECT_EQ(events[5][0], "logout");
  EXPECT_EQ(rows("SELECT count(*) FROM audit_events WHERE kind = 'lock'")[0][0], "1");
  EXPECT_EQ(e2e::run_ffsload({"audit", "verify"}, dir.path()).exit_code, 0);
}
