#include "run/recording.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "records/location.h"
#include "records/sqlite_store.h"
#include "run/run_session.h"
#include "script/runner.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace {

// The fixture's clock, looking at the records whenever the run pauses for a
// second or more (a format's pause), as another process would see them then.
class RecordsWatchingTime final : public platform::TimeSource {
 public:
  explicit RecordsWatchingTime(platform::FakeTime& inner) : inner_(inner) {}
  long now_ms() override { return inner_.now_ms(); }
  void sleep_ms(long ms) override { sleep_us(ms * 1000LL); }
  void sleep_us(long long us) override {
    if (us >= 1'000'000 && std::filesystem::exists("runs.sqlite")) {
      records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
      seen_in_pause = store.query("SELECT outcome, imei, attempt FROM runs ORDER BY id", {});
    }
    inner_.sleep_us(us);
  }
  std::vector<records::Row> seen_in_pause;

 private:
  platform::FakeTime& inner_;
};

class RunRecords : public testing_support::SimulatedHandsetTest {
 protected:
  void SetUp() override {
    SimulatedHandsetTest::SetUp();
    unsetenv("FFSLOAD_RECORDS");
    context.port = comport;
    context.customer_key = "12.3";
    context.ma_no = "ORD4711";
  }
  records::Row last_record(const std::string& columns) {
    records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
    return store.query("SELECT " + columns + " FROM runs ORDER BY id DESC LIMIT 1", {})[0];
  }
  testing_support::TempDir dir;
  run::RunContext context;
};

}  // namespace

TEST_F(RunRecords, a_green_and_a_red_run_each_leave_their_record) {
  testing_support::TempDir::write("t.tms", "tms 1\nti\n");
  context.script = "t.tms";
  EXPECT_EQ(run::run_script(context).outcome, run::RunOutcome::kGreen);
  EXPECT_EQ(last_record("outcome, customer, ma_no, script, port, log, failed_line"),
            (records::Row{"green", "12.3", "ORD4711", "t.tms", "3", "tms 1  => 0 (1)\nti  => 0 (1)",
                          std::nullopt}));

  fault("refuse:0x20");
  EXPECT_EQ(run::run_script(context).outcome, run::RunOutcome::kRed);
  EXPECT_EQ(last_record("outcome, failed_line, failed_text, failed_status"),
            (records::Row{"red", "2", "ti", "100"}));

  context.script = "missing.tms";
  EXPECT_EQ(run::run_script(context).outcome, run::RunOutcome::kNoRun);
  EXPECT_EQ(last_record("outcome, failed_line, imei, log, id"),
            (records::Row{"no run", std::nullopt, std::nullopt, "", "3"}));
}

TEST_F(RunRecords, a_record_that_cannot_be_written_leaves_the_run_as_it_was) {
  testing_support::TempDir::write("t.tms", "tms 1\n");
  testing_support::TempDir::write("broken.sqlite", std::string(4096, 'x'));
  context.records_option = "broken.sqlite";
  context.script = "t.tms";
  EXPECT_EQ(run::run_script(context).outcome, run::RunOutcome::kGreen);
  records::SqliteStore outbox(records::kOutboxFile, records::OpenFor::kReading);
  EXPECT_EQ(outbox.query("SELECT outcome FROM runs", {}), (std::vector<records::Row>{{"green"}}));
}

TEST_F(RunRecords, a_runs_copy_waits_for_the_format_pause_and_never_outlives_its_run) {
  RecordsWatchingTime watching(clock);
  platform::set_time_source(&watching);
  state().fs.files["/IMEI"] = {0x53, 0x02, 0x99, 0x10, 0x47, 0x65, 0x43, 0xf1};
  const std::string imei = "53029910476543f1";
  testing_support::TempDir::write("quick.tms", "tms 1\nfrd IMEI IMEI\n");
  testing_support::TempDir::write("format.tms", "tms 1\nfrd IMEI IMEI\nmkfs\nfwr IMEI IMEI\n");

  // No pause in this run: its copy is never written after the record that
  // ends it (a later copy would stand for it as "running").
  context.script = "quick.tms";
  ASSERT_EQ(run::run_script(context).outcome, run::RunOutcome::kGreen);
  EXPECT_EQ(last_record("outcome, imei, attempt"), (records::Row{"green", imei, "1"}));

  // While the handset formats, the records already know the run, its IMEI
  // and the unit's attempt; the earlier run is as it ended.
  context.script = "format.tms";
  ASSERT_EQ(run::run_script(context).outcome, run::RunOutcome::kGreen);
  EXPECT_EQ(watching.seen_in_pause,
            (std::vector<records::Row>{{"green", imei, "1"}, {"running", imei, "2"}}));
  EXPECT_EQ(last_record("outcome, imei, attempt"), (records::Row{"green", imei, "2"}));
  platform::set_time_source(&clock);
}

TEST_F(RunRecords, a_record_with_no_room_anywhere_waits_in_the_journal_for_the_next_run) {
  testing_support::TempDir::write("t.tms", "tms 1\n");
  testing_support::TempDir::write("broken.sqlite", std::string(4096, 'x'));
  context.records_option = "broken.sqlite";
  // Neither the store nor the outbox can take it, as on a full disk.
  setenv(records::kOutboxVariable, "no-such-folder/outbox.sqlite", 1);
  context.script = "t.tms";
  EXPECT_EQ(run::run_script(context).outcome, run::RunOutcome::kGreen);
  unsetenv(records::kOutboxVariable);

  context.records_option = "runs.sqlite";
  fault("refuse:0x20");
  testing_support::TempDir::write("t.tms", "tms 1\nti\n");
  EXPECT_EQ(run::run_script(context).outcome, run::RunOutcome::kRed);
  records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
  EXPECT_EQ(store.query("SELECT outcome, customer FROM runs ORDER BY started_at", {}),
            (std::vector<records::Row>{{"green", "12.3"}, {"red", "12.3"}}));
  // Recorded once: the run after does not record it again.
  EXPECT_EQ(run::run_script(context).outcome, run::RunOutcome::kRed);
  EXPECT_EQ(store.query("SELECT count(*) FROM runs", {}), (std::vector<records::Row>{{"3"}}));
}
