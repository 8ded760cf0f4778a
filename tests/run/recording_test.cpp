#include "run/recording.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "records/location.h"
#include "records/sqlite_store.h"
#include "script/runner.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"
#include "run/run_session.h"

namespace {

class RunRecords : public testing_support::SimulatedHandsetTest {
 protected:
  void SetUp() override {
    SimulatedHandsetTest::SetUp();
    unsetenv("FFSLOAD_RECORDS");
    run::set_records_option("");
    run::set_run_context("12.3", "ORD4711");
  }
  void TearDown() override {
    run::set_run_context("", "");
    SimulatedHandsetTest::TearDown();
  }
  records::Row last_record(const std::string& columns) {
    records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
    return store.query("SELECT " + columns + " FROM runs ORDER BY id DESC LIMIT 1", {})[0];
  }
  testing_support::TempDir dir;
};

}  // namespace

TEST_F(RunRecords, a_green_and_a_red_run_each_leave_their_record) {
  testing_support::TempDir::write("t.tms", "tms 1\nti\n");
  tmsfile = "t.tms";
  EXPECT_EQ(run::run_script().outcome, run::RunOutcome::kGreen);
  EXPECT_EQ(last_record("outcome, customer, ma_no, script, port, log, failed_line"),
            (records::Row{"green", "12.3", "ORD4711", "t.tms", "3", "tms 1  => 0 (1)\nti  => 0 (1)",
                          std::nullopt}));

  fault("refuse:0x20");
  EXPECT_EQ(run::run_script().outcome, run::RunOutcome::kRed);
  EXPECT_EQ(last_record("outcome, failed_line, failed_text, failed_status"),
            (records::Row{"red", "2", "ti", "100"}));

  tmsfile = "missing.tms";
  EXPECT_EQ(run::run_script().outcome, run::RunOutcome::kNoRun);
  EXPECT_EQ(last_record("outcome, failed_line, imei, log, id"),
            (records::Row{"no run", std::nullopt, std::nullopt, "", "3"}));
}

TEST_F(RunRecords, a_record_that_cannot_be_written_leaves_the_run_as_it_was) {
  testing_support::TempDir::write("t.tms", "tms 1\n");
  testing_support::TempDir::write("broken.sqlite", std::string(4096, 'x'));
  run::set_records_option("broken.sqlite");
  tmsfile = "t.tms";
  EXPECT_EQ(run::run_script().outcome, run::RunOutcome::kGreen);
  records::SqliteStore outbox(records::kOutboxFile, records::OpenFor::kReading);
  EXPECT_EQ(outbox.query("SELECT outcome FROM runs", {}), (std::vector<records::Row>{{"green"}}));
}
