// The records' unit columns: the upgrade that adds them, the fixture alarm's
// rule and the unit's history that gives a run its attempt number.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <span>

#include "records/fixture_alarm.h"
#include "records/outbox.h"
#include "records/record_samples.h"
#include "records/schema.h"
#include "records/sqlite_store.h"
#include "records/unit_history.h"
#include "support/temp_dir.h"

namespace {

using records::OpenFor;
using records::RunRecord;
using records::SqliteStore;
using testing_support::red_record;
using testing_support::sample_record;

void raw_sql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// A file as the release with schema `version` left it, with one green run.
void old_file(const std::string& path, int version) {
  std::string sql;
  for (int step = 0; step < version; ++step) {
    for (const std::string& s : records::upgrade_step(records::Dialect::kSqlite, step)) {
      sql += s + ";";
    }
  }
  raw_sql(path, sql + "UPDATE ffsload_schema SET version = " + std::to_string(version) +
                    ";"
                    "INSERT INTO runs (uid, started_at, ended_at, station, port, device, "
                    "customer, script, ma_no, imei, outcome, log, tool_version) VALUES "
                    "('old-1', '2024-03-01T00:00:00.000Z', '2024-03-01T00:00:09.000Z', "
                    "'st', 3, '/dev/ttyS2', '1', 'main.tms', 'MA', 'aa', 'green', 'l', '0.9')");
}

RunRecord unit_run(const char* serial, const std::string& outcome, int minute, int port = 3) {
  RunRecord r = outcome == "red" ? red_record("1", nullptr, 12, "compare afcdac rf/afcdac", 0,
                                              minute)
                                 : sample_record("1", nullptr, outcome, 0, minute);
  if (serial) r.unit_serial = serial;
  r.port = port;
  return r;
}

class UnitRecords : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
};

}  // namespace

TEST_F(UnitRecords, files_of_every_earlier_schema_reach_the_unit_columns_and_keep_their_runs) {
  for (int version : {1, 2}) {
    const std::string path = "v" + std::to_string(version) + ".sqlite";
    old_file(path, version);
    RunRecord scanned = unit_run("SN-1", "green", 5);
    scanned.operator_id = "anna";
    scanned.attempt = 2;
    scanned.fixture = "/dev/serial/by-id/usb-FTDI-if00";
    {
      SqliteStore store(path, OpenFor::kWriting);
      store.append(std::span(&scanned, 1));
      EXPECT_EQ(store.query("SELECT version FROM ffsload_schema", {})[0][0], "3");
      EXPECT_EQ(store.query("SELECT uid, unit_serial, operator, attempt, fixture FROM runs "
                            "ORDER BY id",
                            {}),
                (std::vector<records::Row>{
                    {"old-1", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
                    {scanned.uid, "SN-1", "anna", "2", "/dev/serial/by-id/usb-FTDI-if00"}}))
          << "from version " << version;
      EXPECT_EQ(store.query("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                            "('runs_by_start', 'runs_by_handset', 'runs_red_by_start', "
                            "'runs_interrupted', 'runs_by_unit', 'runs_by_port')",
                            {})[0][0],
                "6");
      // Both questions a run asks before it starts are answered from an index.
      const auto plan = [&](const std::string& sql) {
        std::string text;
        for (const auto& row : store.query("EXPLAIN QUERY PLAN " + sql, {"st", "x", "u"}))
          text += row.back().value_or("") + "\n";
        return text;
      };
      EXPECT_NE(plan("SELECT count(*) FROM runs WHERE station = ? AND unit_serial = ? AND uid <> ?")
                    .find("runs_by_unit"),
                std::string::npos);
      EXPECT_NE(plan("SELECT uid FROM runs WHERE station = ? AND port = ? AND uid <> ? "
                     "ORDER BY started_at DESC LIMIT 5")
                    .find("runs_by_port"),
                std::string::npos);
    }
  }
}

TEST_F(UnitRecords, a_later_copy_without_the_unit_keeps_what_the_store_knows) {
  RunRecord running = unit_run("SN-1", "running", 0);
  running.operator_id = "anna";
  running.attempt = 1;
  running.fixture = "/dev/ttyUSB0";
  running.revision = 1;
  RunRecord interrupted = running;  // from a journal that never heard of units
  interrupted.unit_serial.reset();
  interrupted.operator_id.reset();
  interrupted.attempt.reset();
  interrupted.fixture.reset();
  interrupted.outcome = "interrupted";
  interrupted.revision = 2;
  SqliteStore store("runs.sqlite", OpenFor::kWriting);
  store.append(std::span(&running, 1));
  store.append(std::span(&interrupted, 1));
  const auto all = store.all_records();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].outcome, "interrupted");
  EXPECT_EQ(all[0].unit_serial, "SN-1");
  EXPECT_EQ(all[0].operator_id, "anna");
  EXPECT_EQ(all[0].attempt, 1);
  EXPECT_EQ(all[0].fixture, "/dev/ttyUSB0");
}

TEST_F(UnitRecords, an_outbox_that_set_records_aside_before_the_unit_columns_still_sets_aside) {
  old_file("outbox.sqlite", 2);
  raw_sql("outbox.sqlite",
          "CREATE TABLE set_aside (set_aside_at TEXT NOT NULL, reason TEXT NOT NULL, uid, "
          "started_at, ended_at, station, port, device, customer, script, ma_no, imei, outcome, "
          "failed_line, failed_text, failed_status, log, tool_version, imei_fate, revision)");
  RunRecord r = unit_run("SN-9", "green", 1);
  SqliteStore outbox("outbox.sqlite", OpenFor::kWriting);
  outbox.append(std::span(&r, 1));
  outbox.set_aside(r, "refused");
  EXPECT_EQ(outbox.set_aside_count(), 1);
  EXPECT_EQ(outbox.query("SELECT unit_serial FROM set_aside", {})[0][0], "SN-9");
}

TEST_F(UnitRecords, unit_serials_that_are_hard_to_store_are_stored_as_text) {
  RunRecord r = unit_run(nullptr, "green", 1);
  r.unit_serial = std::string("SN\x01\x1b[2J\xe9", 8) + std::string(1000, 'x');
  r.operator_id = std::string("J\xfcrgen");  // Latin-1
  const auto kept = records::keep_record("runs.sqlite", "outbox.sqlite", r);
  ASSERT_TRUE(kept.stored) << kept.error;
  SqliteStore store("runs.sqlite", OpenFor::kReading);
  const auto row = store.query("SELECT unit_serial, operator FROM runs", {})[0];
  EXPECT_EQ(row[0], std::string("SN\x01\x1b[2J\xc3\xa9", 9) + std::string(1000, 'x'));
  EXPECT_EQ(row[1], "J\xc3\xbcrgen");
}

TEST(FixtureAlarm, k_red_runs_on_k_different_units_raise_it_and_a_green_run_clears_it) {
  auto runs = [](std::initializer_list<std::pair<const char*, const char*>> newest_first) {
    std::vector<RunRecord> out;
    int minute = 100;
    for (auto [serial, outcome] : newest_first) out.push_back(unit_run(serial, outcome, minute--));
    return out;
  };
  // Three units red in a row: the fixture.
  auto alarm = records::fixture_alarm(
      runs({{"C", "red"}, {"B", "red"}, {"A", "red"}, {"Z", "green"}}), 3);
  EXPECT_TRUE(alarm.raised);
  EXPECT_EQ(alarm.red_runs, 3);
  EXPECT_EQ(records::fixture_alarm_text(5, alarm), "check the fixture on port 5: 3 red runs in a row");
  EXPECT_EQ(records::failing_line_texts(alarm),
            std::vector<std::string>{"12: compare afcdac rf/afcdac (3x)"});

  // One unit failing three times is the unit, not the fixture.
  EXPECT_FALSE(records::fixture_alarm(runs({{"A", "red"}, {"A", "red"}, {"A", "red"}}), 3).raised);
  EXPECT_FALSE(records::fixture_alarm(runs({{"C", "red"}, {"B", "red"}, {"B", "red"}}), 3).raised);
  // Once raised, a unit failing again keeps it up.
  EXPECT_TRUE(
      records::fixture_alarm(runs({{"C", "red"}, {"C", "red"}, {"B", "red"}, {"A", "red"}}), 3)
          .raised);
  // The next green run clears it; runs without a verdict neither count nor clear.
  EXPECT_FALSE(
      records::fixture_alarm(runs({{"D", "green"}, {"C", "red"}, {"B", "red"}, {"A", "red"}}), 3)
          .raised);
  alarm = records::fixture_alarm(
      runs({{"D", "no run"}, {"C", "red"}, {"X", "interrupted"}, {"B", "red"}, {"A", "red"}}), 3);
  EXPECT_TRUE(alarm.raised);
  EXPECT_EQ(alarm.red_runs, 3);
  // Without identities each run is its own unit; K = 0 turns it off.
  EXPECT_TRUE(records::fixture_alarm(runs({{nullptr, "red"}, {nullptr, "red"}}), 2).raised);
  EXPECT_FALSE(records::fixture_alarm(runs({{nullptr, "red"}, {nullptr, "red"}}), 0).raised);
  // IMEIs are units when there is no serial.
  auto by_imei = runs({{nullptr, "red"}, {nullptr, "red"}});
  by_imei[0].imei = by_imei[1].imei = "aa";
  EXPECT_FALSE(records::fixture_alarm(by_imei, 2).raised);
  EXPECT_FALSE(records::fixture_alarm({}, 3).raised);
}

TEST_F(UnitRecords, the_alarm_and_the_history_read_one_station_port_and_unit_from_the_store) {
  std::vector<RunRecord> all = {unit_run("A", "green", 1), unit_run("A", "red", 2),
                                unit_run("B", "red", 3),   unit_run("C", "red", 4),
                                unit_run("D", "red", 5, 4), unit_run("A", "no run", 6)};
  RunRecord elsewhere = unit_run("E", "red", 7);
  elsewhere.station = "station-b";
  all.push_back(elsewhere);
  RunRecord failing = red_record("1", nullptr, 6, "mkdir gsm", 0, 8);
  failing.unit_serial = "F";
  all.push_back(failing);
  SqliteStore store("runs.sqlite", OpenFor::kWriting);
  store.append(all);

  const auto alarm = records::port_fixture_alarm(store, "station-a", 3, 3);
  EXPECT_TRUE(alarm.raised);
  EXPECT_EQ(alarm.red_runs, 4);
  EXPECT_EQ(records::failing_line_texts(alarm),
            (std::vector<std::string>{"12: compare afcdac rf/afcdac (3x)", "6: mkdir gsm (1x)"}));
  EXPECT_FALSE(records::port_fixture_alarm(store, "station-a", 4, 3).raised);
  EXPECT_FALSE(records::port_fixture_alarm(store, "station-a", 3, 5).raised);

  const auto a = records::unit_history_by_serial(store, "station-a", "A", "new-run");
  EXPECT_EQ(a.earlier_runs, 2);  // the "no run" never touched it
  ASSERT_TRUE(a.passed_at_ms);
  EXPECT_EQ(records::passed_before_text(*a.passed_at_ms), "passed before at 2024-03-01 00:01 UTC");
  EXPECT_EQ(records::unit_history_by_serial(store, "station-a", "A", all[1].uid).earlier_runs, 1);
  const auto e = records::unit_history_by_serial(store, "station-a", "E", "new-run");
  EXPECT_EQ(e.earlier_runs, 0);
  EXPECT_FALSE(e.passed_at_ms);
}

TEST_F(UnitRecords, the_alarm_after_a_run_from_the_runs_read_before_it_is_the_stores_own) {
  SqliteStore store("runs.sqlite", OpenFor::kWriting);
  store.append(std::vector<RunRecord>{unit_run("A", "green", 1), unit_run("A", "red", 2),
                                      unit_run("B", "red", 3), unit_run("Z", "red", 4, 4)});
  int minute = 10;
  RunRecord failing = red_record("1", nullptr, 6, "mkdir gsm", 0, minute);
  failing.unit_serial = "C";
  // Each run ends in turn: what the run counts for itself, from the port's
  // runs read in its pause, is what the store says once it holds the run.
  for (RunRecord last : {failing, unit_run("C", "interrupted", ++minute),
                         unit_run(nullptr, "red", ++minute), unit_run("D", "green", ++minute),
                         unit_run("E", "red", ++minute)}) {
    last.port = 3;
    const auto earlier =
        records::last_port_runs(store, "station-a", 3, records::fixture_alarm_window(3));
    const auto counted = records::fixture_alarm_after(last, earlier, 3);
    store.append(std::span(&last, 1));
    const auto stored = records::port_fixture_alarm(store, "station-a", 3, 3);
    EXPECT_EQ(counted.raised, stored.raised) << last.outcome;
    EXPECT_EQ(counted.red_runs, stored.red_runs) << last.outcome;
    EXPECT_EQ(records::failing_line_texts(counted), records::failing_line_texts(stored));
  }
  EXPECT_FALSE(records::port_fixture_alarm(store, "station-a", 3, 3).raised);  // D's green run
}
