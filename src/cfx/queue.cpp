#include "cfx/queue.h"

#include <sqlite3.h>

#include <chrono>
#include <filesystem>

#include "platform/calendar.h"
#include "platform/file_owner.h"

namespace cfx {

namespace {

std::string queue_path(const std::string& folder) {
  return (std::filesystem::path(folder.empty() ? "." : folder) / kQueueFile).string();
}

// One prepared statement, finalized on every way out.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  explicit operator bool() const { return stmt_ != nullptr; }
  sqlite3_stmt* get() const { return stmt_; }
  void text(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void integer(int i, std::int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
  void null(int i) { sqlite3_bind_null(stmt_, i); }
  int step() { return sqlite3_step(stmt_); }
  void reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  std::string column_text(int i) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i))) : "";
  }
  std::int64_t column_int(int i) const { return sqlite3_column_int64(stmt_, i); }
  bool column_null(int i) const { return sqlite3_column_type(stmt_, i) == SQLITE_NULL; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// state: 0 waiting, 2 set aside; 1 (delivered, the text dropped) only in a
// file from before the delivered table, moved there by tidy(). A delivered
// message leaves the table: the UniqueID alone is kept a while, in a table
// of small rows packed tight, since a big message's row left behind emptied
// would hold its page (a 5 KB message's row: one page each, never merged).
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS messages("
    " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
    " unique_id TEXT NOT NULL UNIQUE,"
    " message_name TEXT NOT NULL,"
    " subject TEXT NOT NULL,"
    " target TEXT NOT NULL DEFAULT '',"
    " request_id TEXT NOT NULL DEFAULT '',"
    " json TEXT NOT NULL,"
    " queued_at_ms INTEGER NOT NULL,"
    " state INTEGER NOT NULL DEFAULT 0,"
    " done_at_ms INTEGER,"
    " reason TEXT);"
    "CREATE INDEX IF NOT EXISTS messages_by_state ON messages(state, seq);"
    "CREATE TABLE IF NOT EXISTS facts(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS delivered(unique_id TEXT PRIMARY KEY, done_at_ms INTEGER NOT NULL)"
    " WITHOUT ROWID;"
    "CREATE INDEX IF NOT EXISTS delivered_by_time ON delivered(done_at_ms);"
    "PRAGMA user_version = 2;";
constexpr int kSchemaVersion = 2;

// tidy()'s steps: rows forgotten or moved, and pages given back, per call.
constexpr int kTidyRows = 2000;
constexpr int kTidyPages = 4096;
// Free pages kept for the next messages rather than given back and taken
// again at once (4 MB of 4 KB pages).
constexpr int kFreePagesKept = 1024;

constexpr const char* kLastDelivered = "last-delivered-ms";

}  // namespace

std::vector<std::string> queue_files_not_ours_to_write(const std::string& station_folder) {
  std::vector<std::string> out;
  const std::string queue = queue_path(station_folder);
  const std::string lock =
      (std::filesystem::path(station_folder.empty() ? "." : station_folder) / kSenderLockFile)
          .string();
  for (const std::string& path : {queue, queue + "-wal", queue + "-shm", lock}) {
    if (const auto why = platform::not_ours_to_write(path))
      out.push_back(std::filesystem::path(path).filename().string() + " (" + *why + ")");
  }
  return out;
}

std::unique_ptr<Queue> Queue::open(const std::string& station_folder, std::string* error) {
  const std::string path = queue_path(station_folder);
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(
      path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<Queue> queue(new Queue(db, path));
  if (rc != SQLITE_OK) {
    queue->fail("cannot be opened");
    if (error) *error = queue->error_;
    return nullptr;
  }
  sqlite3_busy_timeout(db, kQueueBusyTimeoutMs);
  // Before anything is written: a new file can give free pages back (tidy),
  // which SQLite decides only when the first table is made. On a file
  // that has tables this changes nothing.
  queue->execute("PRAGMA auto_vacuum=INCREMENTAL");
  // A run closes the queue at its end: no checkpoint then, so that a run's
  // end costs one flush, its commit's. The WAL is folded back as it grows
  // (SQLite's automatic checkpoint, mostly in the sender's commits).
  sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  // WAL: the sender reads while a port adds. FULL: a commit is on disk when
  // it returns, so a message queued survives a power cut that follows.
  // The WAL cut back to 4 MB after a checkpoint: a backlog added at once
  // would otherwise leave it at its largest for good.
  // Turning a new file to WAL takes an exclusive lock for which SQLite's busy
  // handler is not called: the ports of a station starting at once on a new
  // queue wait for one another here instead of one giving up (and its run's
  // messages with it).
  for (int waited_ms = 0;; waited_ms += 10) {
    const int wal = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    if (wal == SQLITE_OK) break;
    if ((wal & 0xFF) != SQLITE_BUSY || waited_ms >= kQueueBusyTimeoutMs) {
      queue->fail("cannot turn on write-ahead logging");
      if (error) *error = queue->error_;
      return nullptr;
    }
    sqlite3_sleep(10);
  }
  if (!queue->execute("PRAGMA synchronous=FULL") ||
      !queue->execute("PRAGMA journal_size_limit=4194304")) {
    if (error) *error = queue->error_;
    return nullptr;
  }
  // The tables once, by whoever opens a new file first: a run that opens the
  // queue pays no write for it.
  int version = -1;
  {
    Statement v(db, "PRAGMA user_version");
    if (v && v.step() == SQLITE_ROW) version = static_cast<int>(v.column_int(0));
  }
  if (version < kSchemaVersion) {
    if (!queue->execute("BEGIN IMMEDIATE")) {
      if (error) *error = queue->error_;
      return nullptr;
    }
    if (!queue->execute(kSchema) || !queue->execute("COMMIT")) {
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      if (error) *error = queue->error_;
      return nullptr;
    }
  }
  return queue;
}

std::unique_ptr<Queue> Queue::open_for_reading(const std::string& station_folder,
                                               std::string* error) {
  if (error) error->clear();
  const std::string path = queue_path(station_folder);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
  // Read-write without create, so that SQLite can tidy its WAL files on
  // close; read-only where the folder is not ours to write. No statement
  // here writes.
  for (const int mode : {SQLITE_OPEN_READWRITE, SQLITE_OPEN_READONLY}) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, mode | SQLITE_OPEN_NOMUTEX, nullptr);
    std::unique_ptr<Queue> queue(new Queue(db, path));
    if (rc != SQLITE_OK) {
      queue->fail("cannot be opened");
      if (error) *error = queue->error_;
      continue;
    }
    sqlite3_busy_timeout(db, kQueueBusyTimeoutMs);
    Statement check(db, "SELECT seq FROM messages LIMIT 0");
    if (!check || check.step() != SQLITE_DONE) {
      queue->fail("cannot be read");
      if (error) *error = queue->error_;
      continue;
    }
    if (error) error->clear();
    return queue;
  }
  return nullptr;
}

Queue::~Queue() {
  sqlite3_close_v2(db_);
}

bool Queue::writable() const {
  return sqlite3_db_readonly(db_, "main") == 0;
}

bool Queue::fail(const std::string& what) {
  error_ = std::string(kQueueFile) + " (" + path_ + ") " + what;
  if (db_) error_ += ": " + std::string(sqlite3_errmsg(db_));
  return false;
}

bool Queue::execute(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    error_ = std::string(kQueueFile) + " (" + path_ + "): " + (message ? message : "error");
    sqlite3_free(message);
    return false;
  }
  return true;
}

bool Queue::add(std::span<const Envelope> messages, std::string* error) {
  return add(messages, {}, error);
}

bool Queue::add(std::span<const Envelope> messages, const std::vector<Fact>& facts,
                std::string* error) {
  auto failed = [&](const std::string& what) {
    fail(what);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    if (error) *error = error_;
    return false;
  };
  if (!execute("BEGIN IMMEDIATE")) {
    if (error) *error = error_;
    return false;
  }
  {
    Statement insert(db_,
                     "INSERT OR IGNORE INTO messages(unique_id, message_name, subject, target, "
                     "request_id, json, queued_at_ms) SELECT ?1,?2,?3,?4,?5,?6,?7 "
                     "WHERE NOT EXISTS (SELECT 1 FROM delivered WHERE unique_id = ?1)");
    if (!insert) return failed("cannot take a message");
    const std::int64_t now = platform::utc_now_ms();
    for (const Envelope& e : messages) {
      insert.text(1, e.unique_id);
      insert.text(2, e.message_name);
      insert.text(3, e.source + "." + e.message_name);
      insert.text(4, e.target.value_or(""));
      insert.text(5, e.request_id.value_or(""));
      insert.text(6, envelope_json(e));
      insert.integer(7, now);
      if (insert.step() != SQLITE_DONE) return failed("cannot take a message");
      insert.reset();
    }
    Statement set(db_, "INSERT OR REPLACE INTO facts(key, value) VALUES(?,?)");
    Statement drop(db_, "DELETE FROM facts WHERE key = ?");
    if (!set || !drop) return failed("cannot keep the station's facts");
    for (const Fact& f : facts) {
      Statement& s = f.value ? set : drop;
      s.text(1, f.key);
      if (f.value) s.text(2, *f.value);
      if (s.step() != SQLITE_DONE) return failed("cannot keep the station's facts");
      s.reset();
    }
  }
  if (!execute("COMMIT")) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    if (error) *error = error_;
    return false;
  }
  return true;
}

std::vector<QueuedMessage> Queue::waiting(int limit) {
  std::vector<QueuedMessage> out;
  Statement q(db_,
              "SELECT seq, unique_id, message_name, subject, target, request_id, json, "
              "queued_at_ms FROM messages WHERE state = 0 ORDER BY seq LIMIT ?");
  if (!q) {
    fail("cannot be read");
    return out;
  }
  q.integer(1, limit);
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) {
    QueuedMessage m;
    m.seq = q.column_int(0);
    m.unique_id = q.column_text(1);
    m.message_name = q.column_text(2);
    m.subject = q.column_text(3);
    m.target = q.column_text(4);
    m.request_id = q.column_text(5);
    m.json = q.column_text(6);
    m.queued_at_ms = q.column_int(7);
    out.push_back(std::move(m));
  }
  if (rc != SQLITE_DONE) fail("cannot be read");
  return out;
}

bool Queue::remove(std::int64_t seq, std::int64_t delivered_at_ms) {
  const std::int64_t one[] = {seq};
  return remove(one, delivered_at_ms);
}

bool Queue::remove(std::span<const std::int64_t> seqs, std::int64_t delivered_at_ms) {
  if (seqs.empty()) return true;
  if (!execute("BEGIN IMMEDIATE")) return false;
  Statement keep(db_,
                 "INSERT OR IGNORE INTO delivered(unique_id, done_at_ms) "
                 "SELECT unique_id, ? FROM messages WHERE seq = ? AND state = 0");
  Statement done(db_, "DELETE FROM messages WHERE seq = ? AND state = 0");
  Statement last(db_, "INSERT OR REPLACE INTO facts(key, value) VALUES(?, ?)");
  if (!keep || !done || !last) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return fail("cannot mark a message delivered");
  }
  bool stepped = true;
  for (const std::int64_t seq : seqs) {
    keep.reset();
    keep.integer(1, delivered_at_ms);
    keep.integer(2, seq);
    done.reset();
    done.integer(1, seq);
    stepped = stepped && keep.step() == SQLITE_DONE && done.step() == SQLITE_DONE;
  }
  last.text(1, kLastDelivered);
  last.text(2, std::to_string(delivered_at_ms));
  if (!stepped || last.step() != SQLITE_DONE) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return fail("cannot mark a message delivered");
  }
  if (!execute("COMMIT")) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  }
  return true;
}

bool Queue::tidy(std::int64_t now_ms) {
  // Delivered messages of a file from before the delivered table, a step
  // at a time.
  if (!execute("BEGIN IMMEDIATE")) return false;
  {
    Statement move(db_,
                   "INSERT OR IGNORE INTO delivered(unique_id, done_at_ms) "
                   "SELECT unique_id, coalesce(done_at_ms, ?1) FROM messages "
                   "WHERE state = 1 ORDER BY seq LIMIT ?2");
    Statement drop(db_,
                   "DELETE FROM messages WHERE seq IN "
                   "(SELECT seq FROM messages WHERE state = 1 ORDER BY seq LIMIT ?1)");
    Statement forget(db_,
                     "DELETE FROM delivered WHERE unique_id IN (SELECT unique_id FROM delivered "
                     "WHERE done_at_ms < ?1 ORDER BY done_at_ms LIMIT ?2)");
    if (!move || !drop || !forget) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      return fail("cannot be tidied");
    }
    move.integer(1, now_ms);
    move.integer(2, kTidyRows);
    drop.integer(1, kTidyRows);
    forget.integer(1, now_ms - kDeliveredKeptMs);
    forget.integer(2, kTidyRows);
    if (move.step() != SQLITE_DONE || drop.step() != SQLITE_DONE || forget.step() != SQLITE_DONE) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      return fail("cannot be tidied");
    }
  }
  if (!execute("COMMIT")) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  }
  auto number = [this](const char* sql) -> std::int64_t {
    Statement q(db_, sql);
    return q && q.step() == SQLITE_ROW ? q.column_int(0) : -1;
  };
  if (number("PRAGMA auto_vacuum") != 2) return compact_once();
  if (number("PRAGMA freelist_count") <= kFreePagesKept) return true;
  // Statements that return rows until the pages are given back: stepped
  // to the end, one transaction.
  Statement give_back(db_,
                      ("PRAGMA incremental_vacuum(" + std::to_string(kTidyPages) + ")").c_str());
  if (!give_back) return fail("cannot be tidied");
  int rc;
  while ((rc = give_back.step()) == SQLITE_ROW) {
  }
  return rc == SQLITE_DONE || fail("cannot be tidied");
}

// A file made before pages could be given back: rewritten once so that they
// can, when nothing waits (then it holds only the UniqueIDs of a week, and
// the rewrite is short for the runs that wait on it).
bool Queue::compact_once() {
  {
    // Finalized before the VACUUM, which refuses to run beside a statement.
    Statement busy(db_,
                   "SELECT EXISTS (SELECT 1 FROM messages WHERE state <> 2),"
                   " (SELECT count(*) FROM messages WHERE state = 2)");
    if (!busy || busy.step() != SQLITE_ROW) return fail("cannot be read");
    if (busy.column_int(0) != 0 || busy.column_int(1) > kTidyRows) return true;
  }
  return execute("PRAGMA auto_vacuum=INCREMENTAL") && execute("VACUUM");
}

bool Queue::set_aside(std::int64_t seq, const std::string& reason) {
  Statement aside(db_,
                  "UPDATE messages SET state = 2, done_at_ms = ?, reason = ? "
                  "WHERE seq = ? AND state = 0");
  if (!aside) return fail("cannot set a message aside");
  aside.integer(1, platform::utc_now_ms());
  aside.text(2, reason);
  aside.integer(3, seq);
  if (aside.step() != SQLITE_DONE) return fail("cannot set a message aside");
  return true;
}

std::vector<SetAsideMessage> Queue::set_aside_messages(int limit) {
  std::vector<SetAsideMessage> out;
  Statement q(db_,
              "SELECT seq, unique_id, message_name, reason, done_at_ms FROM messages "
              "WHERE state = 2 ORDER BY seq LIMIT ?");
  if (!q) return out;
  q.integer(1, limit);
  while (q.step() == SQLITE_ROW) {
    out.push_back(
        {q.column_int(0), q.column_text(1), q.column_text(2), q.column_text(3), q.column_int(4)});
  }
  return out;
}

QueueStatus Queue::status() {
  QueueStatus s;
  Statement counts(db_,
                   "SELECT (SELECT count(*) FROM messages WHERE state = 0),"
                   " (SELECT count(*) FROM messages WHERE state = 2),"
                   " (SELECT queued_at_ms FROM messages WHERE state = 0 ORDER BY seq LIMIT 1)");
  if (counts && counts.step() == SQLITE_ROW) {
    s.waiting = counts.column_int(0);
    s.set_aside = counts.column_int(1);
    if (!counts.column_null(2)) s.oldest_waiting_ms = counts.column_int(2);
  } else {
    fail("cannot be read");
  }
  if (const auto last = fact(kLastDelivered)) {
    try {
      s.last_delivered_ms = std::stoll(*last);
    } catch (const std::exception&) {
    }
  }
  return s;
}

std::optional<std::string> Queue::fact(const std::string& key) {
  Statement q(db_, "SELECT value FROM facts WHERE key = ?");
  if (!q) return std::nullopt;
  q.text(1, key);
  if (q.step() != SQLITE_ROW) return std::nullopt;
  return q.column_text(0);
}

std::vector<std::pair<std::string, std::string>> Queue::facts_starting(const std::string& prefix) {
  std::vector<std::pair<std::string, std::string>> out;
  Statement q(db_, "SELECT key, value FROM facts WHERE substr(key, 1, ?) = ? ORDER BY key");
  if (!q) return out;
  q.integer(1, static_cast<std::int64_t>(prefix.size()));
  q.text(2, prefix);
  while (q.step() == SQLITE_ROW) out.emplace_back(q.column_text(0), q.column_text(1));
  return out;
}

}  // namespace cfx
