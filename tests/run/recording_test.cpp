#include "run/recording.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "cfx/queue.h"
#include "records/location.h"
#include "records/sqlite_store.h"
#include "run/run_session.h"
#include "script/runner.h"
#include "sim/fs_requests.h"
#include "sim/in_process.h"
#include "station/run_journal.h"
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

// The disk fills up while the handset formats: from then on no file may grow
// past what the run journal needs for the run's last lines, as on a full
// disk whose last block still has room for a line or two. The queue's
// write-ahead file is longer than that, so the queue refuses.
class DiskFillsInFormatPause final : public platform::TimeSource {
 public:
  explicit DiskFillsInFormatPause(platform::FakeTime& inner) : inner_(inner) {}
  long now_ms() override { return inner_.now_ms(); }
  void sleep_ms(long ms) override { sleep_us(ms * 1000LL); }
  void sleep_us(long long us) override {
    if (us >= 1'000'000 && !full_) {
      full_ = true;
      limit_ = std::filesystem::file_size("run-journal_3") + 16 * 1024;
      queue_wal_ = std::filesystem::file_size(std::string(cfx::kQueueFile) + "-wal");
      previous_signal_ = std::signal(SIGXFSZ, SIG_IGN);
      ::getrlimit(RLIMIT_FSIZE, &previous_);
      rlimit full = previous_;
      full.rlim_cur = limit_;
      ::setrlimit(RLIMIT_FSIZE, &full);
    }
    inner_.sleep_us(us);
  }
  void free_space() {
    if (!full_) return;
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previous_signal_);
  }
  ~DiskFillsInFormatPause() override { free_space(); }
  bool full_ = false;
  std::uintmax_t limit_ = 0, queue_wal_ = 0;

 private:
  platform::FakeTime& inner_;
  rlimit previous_{};
  void (*previous_signal_)(int) = SIG_DFL;
};

class RunRecords : public testing_support::SimulatedHandsetTest {
 protected:
  void SetUp() override {
    SimulatedHandsetTest::SetUp();
    unsetenv("FFSLOAD_RECORDS");
    context.port = fixture_port;
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

TEST_F(RunRecords, two_sessions_in_one_process_keep_their_port_imei_and_record_apart) {
  // Two fixtures: this handset on port 1, another on port 2. Each run backs
  // its handset's IMEI up, formats, and writes it back.
  attach(1);
  const std::vector<std::uint8_t> imei_one = {0x53, 0x02, 0x99, 0x10, 0x47, 0x65, 0x43, 0xf1};
  const std::vector<std::uint8_t> imei_two = {0x35, 0x20, 0x99, 0x01, 0x74, 0x56, 0x34, 0x1f};
  state().fs.files["/IMEI"] = imei_one;
  sim::Handset other_handset;
  sim::SimulatedLine other_line{other_handset};
  auto other_port = std::make_shared<platform::MemorySerialDevice>();
  sim::connect(other_line, *other_port);
  platform::install_port(2, other_port);
  other_handset.state().fs.files["/IMEI"] = imei_two;
  testing_support::TempDir::write("t.tms", "tms 1\nfrd IMEI IMEI\nmkfs\nfwr IMEI IMEI\n");
  context.script = "t.tms";
  context.port = 1;
  run::RunContext other = context;
  other.between_runs = std::make_shared<run::BetweenRuns>();  // another front end's
  other.port = 2;
  other.customer_key = "7";

  // The second run starts, and ends, while the first waits for its format:
  // the first has backed its IMEI up and formatted, and holds the port.
  std::optional<run::RunResult> second;
  port->set_peer([&](std::span<const std::uint8_t> bytes) {
    for (const sim::Transmission& t : line.receive(bytes)) port->deliver(t.bytes, t.gap_ms);
    const sim::Request& last = line.requests().back();
    if (!second && last.id == 0x70 && sim::fs_operation(last.payload) == 0x03) {
      ASSERT_NE(run::session_under_way(), nullptr);
      EXPECT_EQ(run::session_under_way()->imei().backup_file(), "IMEI_1");
      second = run::run_script(other);
      EXPECT_EQ(run::session_under_way()->context().port, 1);
      EXPECT_TRUE(run::session_under_way()->imei().at_risk());
    }
  });
  const run::RunResult first = run::run_script(context);
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(first.outcome, run::RunOutcome::kGreen);
  EXPECT_EQ(second->outcome, run::RunOutcome::kGreen);
  EXPECT_EQ(run::session_under_way(), nullptr);

  // Each handset has its own IMEI back, from its own PC file.
  EXPECT_EQ(state().fs.files["/IMEI"], imei_one);
  EXPECT_EQ(other_handset.state().fs.files["/IMEI"], imei_two);
  EXPECT_EQ(testing_support::TempDir::read("IMEI_1"), std::string(imei_one.begin(), imei_one.end()));
  EXPECT_EQ(testing_support::TempDir::read("IMEI_2"), std::string(imei_two.begin(), imei_two.end()));
  // Each run's requests went to its own port: one backup, one format pair.
  for (const sim::SimulatedLine* each : {&line, &other_line}) {
    int formats = 0;
    for (const sim::Request& r : each->requests()) {
      formats += r.id == 0x70 && sim::fs_operation(r.payload) == 0x03;
    }
    EXPECT_EQ(formats, 1);
  }
  // Each front end keeps its own IMEI_flag.
  EXPECT_EQ(context.between_runs->IMEI_flag, 1);
  EXPECT_EQ(other.between_runs->IMEI_flag, 1);
  // Two records, each with its own port, customer and IMEI.
  records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
  EXPECT_EQ(store.query("SELECT port, customer, imei, imei_fate, outcome FROM runs ORDER BY port",
                        {}),
            (std::vector<records::Row>{{"1", "12.3", "53029910476543f1", "written back", "green"},
                                       {"2", "7", "352099017456341f", "written back", "green"}}));
  EXPECT_EQ(store.query("SELECT count(DISTINCT uid) FROM runs", {}),
            (std::vector<records::Row>{{"2"}}));
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
  const std::string imei_hex = "53029910476543f1";
  testing_support::TempDir::write("quick.tms", "tms 1\nfrd IMEI IMEI\n");
  testing_support::TempDir::write("format.tms", "tms 1\nfrd IMEI IMEI\nmkfs\nfwr IMEI IMEI\n");

  // No pause in this run: its copy is never written after the record that
  // ends it (a later copy would stand for it as "running").
  context.script = "quick.tms";
  ASSERT_EQ(run::run_script(context).outcome, run::RunOutcome::kGreen);
  EXPECT_EQ(last_record("outcome, imei, attempt"), (records::Row{"green", imei_hex, "1"}));

  // While the handset formats, the records already know the run, its IMEI
  // and the unit's attempt; the earlier run is as it ended.
  context.script = "format.tms";
  ASSERT_EQ(run::run_script(context).outcome, run::RunOutcome::kGreen);
  EXPECT_EQ(watching.seen_in_pause,
            (std::vector<records::Row>{{"green", imei_hex, "1"}, {"running", imei_hex, "2"}}));
  EXPECT_EQ(last_record("outcome, imei, attempt"), (records::Row{"green", imei_hex, "2"}));
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

TEST_F(RunRecords, end_messages_with_no_room_in_the_queue_come_back_once_with_the_next_run) {
  context.cfx.enabled = true;
  context.cfx.handle = "Acme.Loader.T1";
  context.operator_id = "OP1";
  state().fs.files["/IMEI"] = {0x53, 0x02, 0x99, 0x10, 0x47, 0x65, 0x43, 0xf1};
  testing_support::TempDir::write("quick.tms", "tms 1\nfrd IMEI IMEI\n");
  testing_support::TempDir::write("format.tms", "tms 1\nfrd IMEI IMEI\nmkfs\nfwr IMEI IMEI\n");
  context.script = "quick.tms";
  ASSERT_EQ(run::run_script(context).outcome, run::RunOutcome::kGreen);

  // The disk fills while the handset formats: the run goes on, its IMEI
  // goes back, and only its end messages find no room.
  DiskFillsInFormatPause disk(clock);
  platform::set_time_source(&disk);
  context.script = "format.tms";
  ASSERT_EQ(run::run_script(context).outcome, run::RunOutcome::kGreen);
  disk.free_space();
  platform::set_time_source(&clock);
  ASSERT_TRUE(disk.full_);
  ASSERT_GT(disk.queue_wal_, disk.limit_) << "the queue must not have found room";
  const auto said = log();
  EXPECT_NE(std::find_if(said.begin(), said.end(),
                         [](const std::string& text) {
                           return text.find("end messages could not be queued") !=
                                  std::string::npos;
                         }),
            said.end());
  station::RunJournal journal("run-journal_3");
  ASSERT_TRUE(journal.load());
  ASSERT_EQ(journal.runs().size(), 2u);
  const std::string uid = journal.runs()[1].uid;
  EXPECT_FALSE(journal.runs()[1].unqueued_end.empty());

  // Space again: the port's next runs queue them, once, as they were built.
  context.script = "quick.tms";
  ASSERT_EQ(run::run_script(context).outcome, run::RunOutcome::kGreen);
  ASSERT_EQ(run::run_script(context).outcome, run::RunOutcome::kGreen);
  std::string error;
  auto queue = cfx::Queue::open_for_reading(".", &error);
  ASSERT_TRUE(queue) << error;
  std::vector<std::string> order;
  std::map<std::string, int> count;
  for (const cfx::QueuedMessage& m : queue->waiting(1000)) {
    const auto j = nlohmann::ordered_json::parse(m.json);
    if (m.unique_id == cfx::name_based_id(uid + "/" + m.message_name)) {
      ++count[m.message_name];
      if (m.message_name == "CFX.Production.Assembly.UnitsPersonalized") {
        EXPECT_EQ(j["MessageBody"]["PersonalizedUnits"][0]["Characteristics"][0]["Value"],
                  "53029910476543f1");
      }
      if (m.message_name == "CFX.Production.WorkCompleted") {
        EXPECT_EQ(j["MessageBody"]["Result"], "Completed");
      }
    }
    order.push_back(m.message_name);
  }
  EXPECT_EQ(count, (std::map<std::string, int>{{"CFX.Production.WorkStarted", 1},
                                               {"CFX.Production.TestAndInspection.UnitsTested", 1},
                                               {"CFX.Production.Assembly.UnitsPersonalized", 1},
                                               {"CFX.Production.WorkCompleted", 1}}));
  // Three runs' WorkStarted and WorkCompleted, in the order the runs ran;
  // the port's idle state between them restored.
  std::vector<std::string> work;
  for (const std::string& name : order) {
    if (name.find("Work") != std::string::npos || name.find("StateChanged") != std::string::npos)
      work.push_back(name.substr(name.rfind('.') + 1));
  }
  EXPECT_EQ(work,
            (std::vector<std::string>{
                "StationStateChanged", "WorkStarted", "WorkCompleted", "StationStateChanged",
                "StationStateChanged", "WorkStarted", "WorkCompleted", "StationStateChanged",
                "StationStateChanged", "WorkStarted", "WorkCompleted", "StationStateChanged",
                "StationStateChanged", "WorkStarted", "WorkCompleted", "StationStateChanged"}));
  ASSERT_TRUE(journal.load());
  EXPECT_TRUE(journal.find(uid)->unqueued_end.empty());
}
