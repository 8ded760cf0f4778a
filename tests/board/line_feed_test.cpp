// The line feed against a real SQLite store: what it publishes as runs are
// recorded, what an idle poll costs, a store that goes away and comes back,
// and a store from before the unit columns.
#include "board/line_feed.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "board/board_samples.h"
#include "board/port_alarm.h"
#include "records/schema.h"
#include "records/sqlite_store.h"
#include "support/temp_dir.h"

namespace {

using board_testing::port_run;
using records::RunRecord;
using testing_support::test_time;

constexpr int kToday = 3;

class LineFeedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = dir.path() + "/runs.sqlite";
    options.location = path;
    options.now_ms = [this] { return now; };
    options.alarm_rule = board::fixture_alarm_rule(3);
    options.yield_interval = std::chrono::milliseconds(0);
  }
  void record(const RunRecord& r) {
    records::SqliteStore store(path, records::OpenFor::kWriting);
    store.append(std::span(&r, 1));
  }

  testing_support::TempDir dir;
  std::string path;
  std::int64_t now = test_time(kToday, 12 * 60);
  board::FeedOptions options;
};

TEST_F(LineFeedTest, publishes_each_change_once_and_only_what_changed) {
  record(port_run("st-a", 1, "green", kToday, 60, "aa01"));
  record(port_run("st-a", 2, "red", kToday, 61, "aa02"));
  board::LineFeed feed(options);
  feed.poll_once();
  auto snap = feed.current();
  ASSERT_TRUE(snap->store_ok) << snap->reason;
  EXPECT_NE(snap->ports_json.find("\"port\":2,\"state\":\"idle\""), std::string::npos);
  EXPECT_NE(snap->ports_json.find("\"failed_text\":\"compare afcdac rf/afcdac\""),
            std::string::npos);
  const auto version = snap->version;

  feed.poll_once();
  EXPECT_EQ(feed.current()->version, version) << "an idle poll publishes nothing";

  RunRecord running = port_run("st-a", 1, "running", kToday, 70, "aa03");
  running.unit_serial = "SN-7";
  running.operator_id = "op42";
  record(running);
  feed.poll_once();
  snap = feed.current();
  EXPECT_EQ(snap->version, version + 1);
  EXPECT_NE(snap->ports_json.find("\"port\":1,\"state\":\"running\",\"started_at\":\"2024-03-04T"
                                  "01:10:00.000Z\",\"customer\":\"1\",\"unit_serial\":\"SN-7\","
                                  "\"operator\":\"op42\""),
            std::string::npos)
      << snap->ports_json;
  // The page is sent port 1 alone: port 2 did not change.
  EXPECT_NE(snap->delta_event.find("\"full\":false"), std::string::npos);
  EXPECT_NE(snap->delta_event.find("\"port\":1"), std::string::npos);
  EXPECT_EQ(snap->delta_event.find("\"port\":2"), std::string::npos);
  EXPECT_NE(snap->full_event.find("\"port\":2"), std::string::npos);

  // The same record, ended: its id stays, the feed finds it by watching it.
  running.outcome = "green";
  running.revision = 3;
  record(running);
  feed.poll_once();
  snap = feed.current();
  EXPECT_NE(snap->ports_json.find("\"port\":1,\"state\":\"idle\""), std::string::npos);
  EXPECT_NE(snap->ports_json.find("\"runs_today\":2"), std::string::npos);
}

TEST_F(LineFeedTest, a_store_that_goes_away_is_reported_without_its_password_and_recovered) {
  record(port_run("st-a", 1, "green", kToday, 60));
  options.location = "postgresql://ffs:s3cret@db/line";
  bool away = false;
  options.open = [&](const std::string&) -> std::unique_ptr<records::Store> {
    return std::make_unique<board_testing::FlakyStore>(
        records::open_store(path, records::OpenFor::kReading), away);
  };
  board::LineFeed feed(options);
  feed.poll_once();
  ASSERT_TRUE(feed.current()->store_ok);

  away = true;
  feed.poll_once();
  auto snap = feed.current();
  EXPECT_FALSE(snap->store_ok);
  EXPECT_NE(snap->reason.find("connection refused"), std::string::npos);
  EXPECT_EQ(snap->reason.find("s3cret"), std::string::npos) << snap->reason;
  EXPECT_EQ(snap->full_event.find("s3cret"), std::string::npos);
  EXPECT_NE(snap->full_event.find("\"ok\":false"), std::string::npos);
  EXPECT_NE(snap->full_event.find("postgresql://ffs:***@db/line"), std::string::npos);
  const auto version = snap->version;
  feed.poll_once();
  EXPECT_EQ(feed.current()->version, version) << "still away: nothing new to tell";

  away = false;
  record(port_run("st-a", 1, "red", kToday, 61));
  feed.poll_once();
  snap = feed.current();
  EXPECT_TRUE(snap->store_ok);
  EXPECT_NE(snap->delta_event.find("\"full\":true"), std::string::npos);
  EXPECT_NE(snap->ports_json.find("\"last_outcome\":\"red\""), std::string::npos);
}

// The file at the board's path deleted, replaced by another or cut short:
// said at the next poll, and the file there read from the start at the one
// after, so that its runs show and the old file's never again.
TEST_F(LineFeedTest, a_records_file_deleted_replaced_or_truncated_is_said_and_read_again) {
  record(port_run("st-a", 1, "green", kToday, 60, "aa01"));
  std::vector<std::string> notices;
  options.store_notice = [&](const std::string& reason) { notices.push_back(reason); };
  board::LineFeed feed(options);
  feed.poll_once();
  ASSERT_TRUE(feed.current()->store_ok);
  auto remove_store = [&] {
    for (const char* end : {"", "-wal", "-shm"}) std::filesystem::remove(path + end);
  };

  remove_store();
  feed.poll_once();
  EXPECT_FALSE(feed.current()->store_ok);
  EXPECT_EQ(feed.current()->reason, "records file " + path + " was deleted or moved away");
  feed.poll_once();
  EXPECT_NE(feed.current()->reason.find("no such file"), std::string::npos);
  record(port_run("st-a", 2, "green", kToday, 61, "aa02"));
  feed.poll_once();
  ASSERT_TRUE(feed.current()->store_ok) << feed.current()->reason;
  EXPECT_EQ(feed.current()->ports_json.find("\"port\":1"), std::string::npos);
  EXPECT_NE(feed.current()->ports_json.find("\"port\":2"), std::string::npos);

  // Another file, whole, moved over the path (as a restored copy would be).
  const std::string other = dir.path() + "/other.sqlite";
  {
    records::SqliteStore store(other, records::OpenFor::kWriting);
    const RunRecord r = port_run("st-b", 3, "red", kToday, 62, "aa03");
    store.append(std::span(&r, 1));
    store.query("PRAGMA journal_mode=DELETE", {});
  }
  std::filesystem::remove(path + "-wal");
  std::filesystem::remove(path + "-shm");
  std::filesystem::rename(other, path);
  feed.poll_once();
  EXPECT_FALSE(feed.current()->store_ok);
  EXPECT_EQ(feed.current()->reason, "records file " + path + " was replaced by another file");
  feed.poll_once();
  ASSERT_TRUE(feed.current()->store_ok) << feed.current()->reason;
  EXPECT_NE(feed.current()->ports_json.find("\"station\":\"st-b\",\"port\":3"), std::string::npos);
  EXPECT_EQ(feed.current()->ports_json.find("\"st-a\""), std::string::npos);

  std::filesystem::resize_file(path, 0);
  feed.poll_once();
  EXPECT_FALSE(feed.current()->store_ok);
  EXPECT_EQ(feed.current()->reason, "records file " + path + " was truncated");
  feed.poll_once();
  EXPECT_FALSE(feed.current()->store_ok);  // an empty file holds no records
  record(port_run("st-c", 4, "green", kToday, 63, "aa04"));
  feed.poll_once();
  ASSERT_TRUE(feed.current()->store_ok) << feed.current()->reason;
  EXPECT_NE(feed.current()->ports_json.find("\"station\":\"st-c\""), std::string::npos);

  // Each change told once, in the board's log.
  ASSERT_GE(notices.size(), 7u);
  EXPECT_EQ(notices[0], "records file " + path + " was deleted or moved away");
  EXPECT_EQ(notices[2], "");
  EXPECT_EQ(notices[3], "records file " + path + " was replaced by another file");
  EXPECT_EQ(notices[4], "");
  EXPECT_EQ(notices[5], "records file " + path + " was truncated");
  EXPECT_EQ(notices.back(), "");
}

TEST_F(LineFeedTest, reads_a_store_from_before_the_unit_columns_as_null) {
  // A version-2 file, as a station not yet upgraded keeps it.
  std::string sql;
  for (int step = 0; step < 2; ++step) {
    for (const std::string& s : records::upgrade_step(records::Dialect::kSqlite, step)) {
      sql += s + ";";
    }
  }
  sql +=
      "UPDATE ffsload_schema SET version = 2;"
      "INSERT INTO runs (uid, started_at, ended_at, station, port, device, customer, script, "
      "ma_no, imei, outcome, log, tool_version, revision) VALUES ('u1', "
      "'2024-03-04T01:00:00.000Z', '2024-03-04T01:00:02.000Z', 'old-st', 1, '/dev/ttyS0', '1', "
      "'main.tms', 'M', 'aa01', 'green', '', '0.8', 3);";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(options.location.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);

  board::LineFeed feed(options);
  feed.poll_once();
  auto snap = feed.current();
  ASSERT_TRUE(snap->store_ok) << snap->reason;
  EXPECT_NE(snap->ports_json.find("\"station\":\"old-st\""), std::string::npos);
  EXPECT_NE(snap->ports_json.find("\"first_pass_yield_today\":100.0"), std::string::npos);
}

TEST_F(LineFeedTest, a_unit_seen_on_an_earlier_day_is_no_first_pass_today) {
  record(port_run("st-a", 1, "red", kToday - 1, 60, "aa01"));
  record(port_run("st-a", 1, "green", kToday, 60, "aa01"));
  record(port_run("st-a", 1, "green", kToday, 61, "aa02"));
  board::LineFeed feed(options);
  feed.poll_once();
  EXPECT_NE(feed.current()->ports_json.find("\"runs_today\":2,\"first_pass_yield_today\":100.0"),
            std::string::npos)
      << feed.current()->ports_json;
  // An attempt number, where the station records one, decides instead.
  RunRecord retest = port_run("st-a", 1, "red", kToday, 62);
  retest.unit_serial = "SN-1";
  retest.attempt = 2;
  record(retest);
  feed.poll_once();
  EXPECT_NE(feed.current()->ports_json.find("\"runs_today\":3,\"first_pass_yield_today\":100.0"),
            std::string::npos)
      << feed.current()->ports_json;
}

}  // namespace
