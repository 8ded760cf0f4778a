#include "records/sqlite_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "records/location.h"
#include "records/outbox.h"
#include "records/record_samples.h"
#include "records/schema.h"
#include "support/temp_dir.h"

namespace {

using records::OpenFor;
using records::SqliteStore;
using testing_support::sample_record;
using testing_support::TempDir;

long count_runs(const std::string& path) {
  SqliteStore store(path, OpenFor::kReading);
  return std::stol(*store.query("SELECT count(*) FROM runs", {})[0][0]);
}

// Runs SQL on the file as another program would.
void raw_sql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
}

class SqliteRecords : public ::testing::Test {
 protected:
  TempDir dir;
};

}  // namespace

TEST_F(SqliteRecords, a_record_keeps_every_column_as_other_tools_query_them) {
  records::RunRecord red = testing_support::red_record("12.3", nullptr, 7, "fwr a /b", 0, 90);
  red.imei = records::hex_bytes(std::string("\x00\x35\xff\n", 4));  // not printable
  {
    SqliteStore store("runs.sqlite", OpenFor::kWriting);
    store.append(std::span(&red, 1));
    store.append(std::span(&red, 1));  // sent twice: stored once
  }
  SqliteStore store("runs.sqlite", OpenFor::kReading);
  auto rows = store.query(
      "SELECT id, started_at, ended_at, station, port, device, customer, script, ma_no, imei, "
      "outcome, failed_line, failed_status, log, tool_version, typeof(port), typeof(failed_line) "
      "FROM runs",
      {});
  ASSERT_EQ(rows.size(), 1u);
  const records::Row expected{"1",
                              "2024-03-01T01:30:00.000Z",
                              "2024-03-01T01:30:01.500Z",
                              "station-a",
                              "3",
                              "/dev/ttyS2",
                              "12.3",
                              "main.tms",
                              "ORD4711",
                              "0035ff0a",
                              "red",
                              "7",
                              "100",
                              "tms 1  => 0 (1)\nmkfs  => 0 (1)",
                              "0.9.0",
                              "integer",
                              "integer"};
  EXPECT_EQ(rows[0], expected);

  // A green run has no failing line and, without a read-back, no IMEI.
  records::RunRecord green = sample_record("", nullptr, "green");
  {
    SqliteStore writer("runs.sqlite", OpenFor::kWriting);
    writer.append(std::span(&green, 1));
  }
  rows = store.query("SELECT imei, failed_line, failed_status FROM runs WHERE id = 2", {});
  EXPECT_EQ(rows[0], (records::Row{std::nullopt, std::nullopt, std::nullopt}));
  EXPECT_EQ(records::record_from_values(
                store.query(std::string("SELECT ") + records::kRecordColumns + " FROM runs", {})[0])
                .started_at_ms,
            red.started_at_ms);
}

TEST_F(SqliteRecords, reading_creates_nothing_and_writing_creates_the_current_schema) {
  EXPECT_THROW(SqliteStore("runs.sqlite", OpenFor::kReading), records::StoreError);
  EXPECT_FALSE(std::filesystem::exists("runs.sqlite"));

  raw_sql("other.sqlite", "CREATE TABLE notes (text TEXT)");  // a database, not ours yet
  try {
    SqliteStore reader("other.sqlite", OpenFor::kReading);
    ADD_FAILURE() << "a file without records opened for reading";
  } catch (const records::StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("holds no run records"), std::string::npos) << e.what();
  }
  SqliteStore writer("other.sqlite", OpenFor::kWriting);
  EXPECT_EQ(writer.query("SELECT version FROM ffsload_schema", {})[0][0],
            std::to_string(records::kSchemaVersion));
  EXPECT_EQ(writer.query("PRAGMA journal_mode", {})[0][0], "wal");
  EXPECT_EQ(writer.query("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND "
                         "name IN ('runs_by_start', 'runs_by_handset')",
                         {})[0][0],
            "2");
}

TEST_F(SqliteRecords, processes_writing_one_file_at_once_lose_no_record) {
  // A station's eight ports start together, on a station whose records file
  // (or, while its store is away, whose outbox) is not made yet too: none
  // may give up on the new file, or lose a record.
  constexpr int kPorts = 8;
  constexpr int kRounds = 10;
  for (int round = 0; round < kRounds; ++round) {
    const int each = round == 0 ? 12 : 2;
    const bool store_away = round % 2 == 1;
    const std::string folder = "round" + std::to_string(round);
    const std::string store = folder + (store_away ? "/away/runs.sqlite" : "/runs.sqlite");
    const std::string outbox = folder + "/outbox.sqlite";
    std::filesystem::create_directory(folder);
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < kPorts; ++p) {
      pid_t pid = fork();
      if (pid == 0) {
        close(go[1]);
        char byte;
        if (read(go[0], &byte, 1) != 0) _exit(100);  // all start at the pipe's close
        int failures = 0;
        for (int i = 0; i < each; ++i) {
          records::RunRecord r = sample_record("1", "aa", "green", 0, i);
          r.uid = "p" + std::to_string(p) + "-" + std::to_string(i);
          const auto kept = records::keep_record(store, outbox, r);
          if (!(store_away ? kept.kept_locally : kept.stored)) ++failures;
        }
        _exit(failures);
      }
      children.push_back(pid);
    }
    close(go[0]);
    close(go[1]);
    for (pid_t pid : children) {
      int status = 0;
      waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
          << "round " << round << ": records not kept: " << status;
    }
    EXPECT_EQ(count_runs(store_away ? outbox : store), kPorts * each) << "round " << round;
    if (!store_away) {
      EXPECT_FALSE(std::filesystem::exists(outbox)) << "round " << round;
    }
  }
}

TEST_F(SqliteRecords, a_store_that_cannot_take_the_record_leaves_it_in_the_outbox) {
  TempDir::write("garbage.sqlite", std::string(4096, 'x'));
  raw_sql("newer.sqlite",
          "CREATE TABLE ffsload_schema (version INTEGER); "
          "INSERT INTO ffsload_schema VALUES (99)");
  { SqliteStore ready("locked.sqlite", OpenFor::kWriting); }
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open("locked.sqlite", &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

  const std::pair<std::string, std::string> cases[] = {
      {"garbage.sqlite", "not a database"},
      {"newer.sqlite", "newer than this ffsload knows"},
      {"locked.sqlite", "locked"},
      {"no-such-folder/runs.sqlite", "unable to open"},
  };
  int kept_so_far = 0;
  for (const auto& [path, why] : cases) {
    const auto kept = records::keep_record(path, "outbox.sqlite", sample_record("1", "aa", "green"),
                                           /*busy ms*/ 50);
    EXPECT_FALSE(kept.stored) << path;
    EXPECT_TRUE(kept.kept_locally) << path << ": " << kept.outbox_error;
    EXPECT_NE(kept.error.find(why), std::string::npos) << kept.error;
    EXPECT_NE(kept.error.find(path), std::string::npos) << kept.error;
    EXPECT_EQ(count_runs("outbox.sqlite"), ++kept_so_far);
  }
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  EXPECT_EQ(count_runs("locked.sqlite"), 0);
  // The newer file was not touched.
  sqlite3* newer = nullptr;
  ASSERT_EQ(sqlite3_open("newer.sqlite", &newer), SQLITE_OK);
  EXPECT_NE(sqlite3_exec(newer, "SELECT 1 FROM runs", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(newer);
}

TEST_F(SqliteRecords, kept_records_reach_the_store_with_the_next_record_once_each) {
  TempDir::write("broken.sqlite", "not a database at all, but long enough to be read as one....");
  const auto first = sample_record("1", "aa", "red", 0, 1);
  ASSERT_TRUE(records::keep_record("broken.sqlite", "outbox.sqlite", first).kept_locally);

  const auto second = sample_record("1", "aa", "green", 0, 2);
  const auto kept = records::keep_record("runs.sqlite", "outbox.sqlite", second);
  EXPECT_TRUE(kept.stored);
  EXPECT_EQ(kept.forwarded, 1);
  EXPECT_EQ(count_runs("outbox.sqlite"), 0);
  SqliteStore store("runs.sqlite", OpenFor::kReading);
  EXPECT_EQ(store.query("SELECT group_concat(outcome, ',') FROM (SELECT outcome FROM runs "
                        "ORDER BY id)",
                        {})[0][0],
            "red,green");

  // A station killed after the store took the kept records but before the
  // outbox forgot them sends them again: the store keeps one of each.
  {
    SqliteStore outbox("outbox.sqlite", OpenFor::kWriting);
    outbox.append(std::span(&first, 1));
  }
  const auto again =
      records::keep_record("runs.sqlite", "outbox.sqlite", sample_record("1", "bb", "green", 0, 3));
  EXPECT_EQ(again.forwarded, 1);
  EXPECT_EQ(count_runs("runs.sqlite"), 3);
  EXPECT_EQ(count_runs("outbox.sqlite"), 0);
}

// The station's store as it comes back while another port of the station,
// still seeing it away, keeps a later copy of a run in the shared outbox: the
// other port's write lands between this port reading the outbox and
// removing what it sent.
class StoreWithAnotherPortBetween : public records::Store {
 public:
  StoreWithAnotherPortBetween(SqliteStore& store, std::vector<records::RunRecord> later)
      : store_(store), later_(std::move(later)) {}
  void append(std::span<const records::RunRecord> rs) override {
    for (auto& copy : later_) {
      if (copy.uid != rs[0].uid) continue;
      SqliteStore outbox("outbox.sqlite", OpenFor::kWriting);
      outbox.append(std::span(&copy, 1));
      copy.uid.clear();
    }
    store_.append(rs);
  }
  std::vector<records::Row> query(const std::string& sql,
                                  const std::vector<std::string>& params) override {
    return store_.query(sql, params);
  }

 private:
  SqliteStore& store_;
  std::vector<records::RunRecord> later_;
};

TEST_F(SqliteRecords, a_later_copy_kept_while_the_outbox_is_sent_stays_until_it_is_sent) {
  // Two runs' first copies wait in the outbox; one of them is refused by the
  // store for what it holds.
  { SqliteStore ready("runs.sqlite", OpenFor::kWriting); }
  raw_sql("runs.sqlite",
          "CREATE TRIGGER refuse BEFORE INSERT ON runs WHEN NEW.ma_no = 'REFUSED' "
          "BEGIN SELECT RAISE(ABORT, 'no such order'); END");
  auto running = sample_record("1", "aa", "running", 0, 1);
  running.revision = 1;
  auto refused = sample_record("1", "bb", "running", 0, 2);
  refused.revision = 1;
  refused.ma_no = "REFUSED";
  {
    SqliteStore outbox("outbox.sqlite", OpenFor::kWriting);
    outbox.append(std::vector{running, refused});
  }
  // Each run's end copy is kept by another port while this one sends.
  auto ended = running;
  ended.outcome = "green";
  ended.revision = 2;
  auto refused_ended = refused;
  refused_ended.outcome = "green";
  refused_ended.ma_no = "MA1";
  refused_ended.revision = 2;

  SqliteStore store("runs.sqlite", OpenFor::kWriting);
  StoreWithAnotherPortBetween between(store, {ended, refused_ended});
  records::KeepResult result;
  EXPECT_TRUE(records::forward_kept(between, "outbox.sqlite", 1000, result));
  EXPECT_EQ(result.forwarded, 1);
  EXPECT_EQ(result.set_aside, 0);
  EXPECT_EQ(result.outbox_error, "");
  // Neither end copy was sent, so neither left the outbox, and the refused
  // start copy that the end copy replaced is not set aside in its place.
  SqliteStore outbox("outbox.sqlite", OpenFor::kReading);
  EXPECT_EQ(outbox.query("SELECT uid, outcome, revision FROM runs ORDER BY uid", {}),
            (std::vector<records::Row>{{running.uid, "green", "2"},
                                       {refused.uid, "green", "2"}}));
  EXPECT_EQ(outbox.set_aside_count(), 0);

  // The next record of the station sends both end copies.
  const auto next =
      records::keep_record("runs.sqlite", "outbox.sqlite", sample_record("1", "cc", "green", 0, 3));
  EXPECT_TRUE(next.stored) << next.error;
  EXPECT_EQ(next.forwarded, 2);
  EXPECT_EQ(outbox.waiting_count(), 0);
  EXPECT_EQ(store.query("SELECT uid, outcome FROM runs WHERE uid IN (?, ?) ORDER BY uid",
                        {running.uid, refused.uid}),
            (std::vector<records::Row>{{running.uid, "green"}, {refused.uid, "green"}}));
}

TEST_F(SqliteRecords, a_version_one_file_is_upgraded_in_place_and_keeps_every_record) {
  // A station's file as the first records release left it.
  std::string v1;
  for (const std::string& sql : records::upgrade_step(records::Dialect::kSqlite, 0)) v1 += sql + ";";
  raw_sql("old.sqlite", v1 +
                            "UPDATE ffsload_schema SET version = 1;"
                            "INSERT INTO runs (uid, started_at, ended_at, station, port, device, "
                            "customer, script, ma_no, imei, outcome, log, tool_version) VALUES "
                            "('old-1', '2024-03-01T00:00:00.000Z', '2024-03-01T00:00:09.000Z', "
                            "'st', 3, '/dev/ttyS2', '1', 'main.tms', 'MA', 'aa', 'green', 'l', '0.9')");
  {
    SqliteStore store("old.sqlite", OpenFor::kWriting);
    EXPECT_EQ(store.query("SELECT version FROM ffsload_schema", {})[0][0],
              std::to_string(records::kSchemaVersion));
    EXPECT_EQ(store.query("SELECT uid, outcome, imei, revision FROM runs", {}),
              (std::vector<records::Row>{{"old-1", "green", "aa", "0"}}));
    EXPECT_EQ(store.query("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND "
                          "name IN ('runs_by_start', 'runs_by_handset', 'runs_red_by_start')",
                          {})[0][0],
              "3");
  }
  EXPECT_EQ(count_runs("old.sqlite"), 1);
}

TEST_F(SqliteRecords, a_later_copy_of_a_record_replaces_an_earlier_one_in_any_order) {
  records::RunRecord running = sample_record("1", "aa", "running");
  running.revision = 10;
  running.log = "tms 1  => 0 (1)";
  records::RunRecord red = testing_support::red_record("1", "aa", 7, "fwr a /b", 0, 90);
  red.uid = running.uid;
  red.revision = 20;
  records::RunRecord interrupted = running;  // from the journal: no log, no end
  interrupted.outcome = "interrupted";
  interrupted.imei_fate = "pending";
  interrupted.log.clear();
  interrupted.revision = 30;
  records::RunRecord settled = interrupted;
  settled.imei_fate = "kept aside";
  settled.revision = 40;

  SqliteStore store("runs.sqlite", OpenFor::kWriting);
  store.append(std::span(&running, 1));
  store.append(std::span(&interrupted, 1));
  store.append(std::span(&settled, 1));
  store.append(std::span(&red, 1));  // an older copy arriving late changes nothing
  EXPECT_EQ(store.query("SELECT outcome, imei_fate, log, revision FROM runs", {}),
            (std::vector<records::Row>{{"interrupted", "kept aside", "tms 1  => 0 (1)", "40"}}));
}

TEST_F(SqliteRecords, a_record_the_store_refuses_is_set_aside_and_holds_back_no_other) {
  // A store that refuses one record for what it holds, as a database refuses
  // text it cannot take.
  { SqliteStore ready("runs.sqlite", OpenFor::kWriting); }
  raw_sql("runs.sqlite",
          "CREATE TRIGGER refuse BEFORE INSERT ON runs WHEN NEW.ma_no = 'REFUSED' "
          "BEGIN SELECT RAISE(ABORT, 'no such order'); END");
  TempDir::write("away.sqlite", std::string(4096, 'x'));
  auto bad = sample_record("1", "aa", "green", 0, 1);
  bad.ma_no = "REFUSED";
  for (const auto& r :
       {sample_record("1", "bb", "green", 0, 0), bad, sample_record("1", "cc", "green", 0, 2)}) {
    ASSERT_TRUE(records::keep_record("away.sqlite", "outbox.sqlite", r).kept_locally);
  }
  // Two kept records and the new one are stored; the refused one waits aside.
  const auto kept =
      records::keep_record("runs.sqlite", "outbox.sqlite", sample_record("1", "dd", "green", 0, 3));
  EXPECT_TRUE(kept.stored) << kept.error;
  EXPECT_EQ(kept.forwarded, 2);
  EXPECT_EQ(kept.set_aside, 1);
  EXPECT_NE(kept.refusal.find("no such order"), std::string::npos) << kept.refusal;
  EXPECT_EQ(count_runs("runs.sqlite"), 3);
  SqliteStore outbox("outbox.sqlite", OpenFor::kReading);
  EXPECT_EQ(outbox.waiting_count(), 0);
  EXPECT_EQ(outbox.set_aside_count(), 1);
  EXPECT_EQ(outbox.query("SELECT ma_no, reason LIKE '%no such order%' FROM set_aside", {})[0],
            (records::Row{"REFUSED", "1"}));

  // A new record that is refused is set aside at once; the next is stored.
  bad.uid = "refused-again";
  const auto refused = records::keep_record("runs.sqlite", "outbox.sqlite", bad);
  EXPECT_FALSE(refused.stored);
  EXPECT_TRUE(refused.kept_locally);
  EXPECT_EQ(refused.set_aside, 1);
  EXPECT_EQ(outbox.set_aside_count(), 2);
  const auto next =
      records::keep_record("runs.sqlite", "outbox.sqlite", sample_record("1", "ee", "green", 0, 4));
  EXPECT_TRUE(next.stored);
  EXPECT_EQ(next.forwarded + next.set_aside, 0);
  EXPECT_EQ(count_runs("runs.sqlite"), 4);
}

TEST_F(SqliteRecords, latin1_station_text_is_stored_as_utf8_and_utf8_as_it_is) {
  auto r = sample_record("1", "aa", "green");
  r.ma_no = "ORD\xC4NDERT";  // Latin-1, as older station PCs wrote it
  r.script =
      "pr\xC3\xBC"
      "fung.tms";                      // already UTF-8
  r.log = std::string("tms 1\0x", 7);  // a NUL no text column can hold
  ASSERT_TRUE(records::keep_record("runs.sqlite", "outbox.sqlite", r).stored);
  SqliteStore store("runs.sqlite", OpenFor::kReading);
  EXPECT_EQ(store.query("SELECT ma_no, script, log FROM runs", {})[0],
            (records::Row{"ORD\xC3\x84NDERT",
                          "pr\xC3\xBC"
                          "fung.tms",
                          "tms 1\xEF\xBF\xBDx"}));
}

TEST_F(SqliteRecords, a_store_that_is_the_outbox_is_refused_and_the_record_kept) {
  ASSERT_TRUE(
      records::keep_record("runs.sqlite", "runs-outbox.sqlite", sample_record("1", "aa", "green"))
          .stored);
  for (const std::string location : {"runs-outbox.sqlite", "./runs-outbox.sqlite"}) {
    EXPECT_NE(records::location_problem(location, "runs-outbox.sqlite"), "") << location;
    const auto kept =
        records::keep_record(location, "runs-outbox.sqlite", sample_record("1", "bb", "green"));
    EXPECT_FALSE(kept.stored);
    EXPECT_TRUE(kept.kept_locally);
    EXPECT_NE(kept.error.find("is the outbox"), std::string::npos) << kept.error;
  }
  EXPECT_EQ(count_runs("runs-outbox.sqlite"), 2);
  EXPECT_EQ(records::location_problem("runs.sqlite", "runs-outbox.sqlite"), "");
}

TEST_F(SqliteRecords, a_journalled_copy_survives_its_process_and_kept_records_still_go_first) {
  TempDir::write("broken.sqlite", "not a database at all, but long enough to be read as one....");
  ASSERT_TRUE(records::keep_record("broken.sqlite", "outbox.sqlite",
                                   sample_record("1", "aa", "red", 0, 1))
                  .kept_locally);
  // A run's copy without waiting for the disk, in a process that dies at once.
  const pid_t pid = fork();
  if (pid == 0) {
    const auto kept =
        records::keep_record("runs.sqlite", "outbox.sqlite", sample_record("1", "bb", "green", 0, 2),
                             records::kDefaultBusyTimeoutMs, records::Durability::kJournalled);
    _exit(kept.stored && kept.forwarded == 1 ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(count_runs("runs.sqlite"), 2);
  EXPECT_EQ(count_runs("outbox.sqlite"), 0);
}

TEST_F(SqliteRecords, a_large_transaction_leaves_no_log_for_every_later_record_to_reread) {
  {
    SqliteStore store("runs.sqlite", OpenFor::kWriting);
    std::vector<records::RunRecord> batch;
    for (int i = 0; i < 500; ++i) {
      batch.push_back(sample_record("1", "aa", "green", 0, i));
      batch.back().log = std::string(2000, 'x');
    }
    store.append(batch);
  }
  records::keep_record("runs.sqlite", "outbox.sqlite", sample_record("1", "bb", "green", 0, 900));
  // A writer's close folds a long WAL into the file: a process that opens
  // the file next has at most a few records' WAL to read through.
  std::error_code ec;
  const auto wal = std::filesystem::file_size("runs.sqlite-wal", ec);
  EXPECT_TRUE(ec || wal <= records::kFoldWalBytes) << wal << " bytes of WAL left";
  EXPECT_EQ(count_runs("runs.sqlite"), 501);
}

TEST_F(SqliteRecords, a_runs_kept_connection_follows_the_file_at_its_path_never_one_moved_away) {
  records::RecordKeeper keeper;
  auto copy = sample_record("1", "aa", "running");
  copy.revision = 1;
  ASSERT_TRUE(keeper.keep("runs.sqlite", "outbox.sqlite", copy, 50,
                          records::Durability::kJournalled)
                  .stored);
  auto last = copy;
  last.outcome = "green";
  last.revision = 2;
  ASSERT_TRUE(keeper.keep("runs.sqlite", "outbox.sqlite", last).stored);
  {
    SqliteStore store("runs.sqlite", OpenFor::kReading);
    EXPECT_EQ(store.query("SELECT outcome FROM runs", {}), (std::vector<records::Row>{{"green"}}));
  }

  // The file is moved away, with its log, while the connection is held: the
  // next record goes to a new file at the path, where the station looks.
  for (const char* suffix : {"", "-wal", "-shm"}) {
    std::filesystem::rename(std::string("runs.sqlite") + suffix,
                            std::string("archived.sqlite") + suffix);
  }
  ASSERT_TRUE(keeper.keep("runs.sqlite", "outbox.sqlite", sample_record("2", "bb", "red")).stored);
  EXPECT_EQ(count_runs("runs.sqlite"), 1);
  EXPECT_EQ(count_runs("archived.sqlite"), 1);

  // Another location is another store.
  ASSERT_TRUE(keeper.keep("other.sqlite", "outbox.sqlite", sample_record("3", "cc", "red")).stored);
  EXPECT_EQ(count_runs("other.sqlite"), 1);
  EXPECT_EQ(count_runs("runs.sqlite"), 1);
  keeper.close();
}
