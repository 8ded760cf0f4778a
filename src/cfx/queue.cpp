#include "cfx/queue.h"

#include <algorithm>
#include <filesystem>

#include "platform/calendar.h"
#include "platform/file_owner.h"
#include "sqlite/schema_upgrade.h"
#include "sqlite/statement.h"
#include "sqlite/transaction.h"

namespace cfx {

namespace {

std::string queue_path(const std::string& folder) {
  return (std::filesystem::path(folder.empty() ? "." : folder) / kQueueFile).string();
}

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
  std::unique_ptr<Queue> queue;
  try {
    queue.reset(
        new Queue(sqlite::open(path, sqlite::Mode::kReadWriteCreate, {kQueueBusyTimeoutMs}), path));
  } catch (const sqlite::Error& e) {
    if (error) *error = std::string(kQueueFile) + " (" + path + ") cannot be opened: " + e.what();
    return nullptr;
  }
  sqlite::Database& db = queue->db_;
  // Before anything is written: a new file can give free pages back (tidy),
  // which SQLite decides only when the first table is made. On a file
  // that has tables this changes nothing.
  db.tryExec("PRAGMA auto_vacuum=INCREMENTAL");
  // A run closes the queue at its end: no checkpoint then, so that a run's
  // end costs one flush, its commit's. The WAL is folded back as it grows
  // (SQLite's automatic checkpoint, mostly in the sender's commits).
  sqlite::leave_wal_at_close(db);
  // WAL: the sender reads while a port adds. FULL: a commit is on disk when
  // it returns, so a message queued survives a power cut that follows.
  // The WAL cut back to 4 MB after a checkpoint: a backlog added at once
  // would otherwise leave it at its largest for good.
  try {
    sqlite::turn_on_wal(db, kQueueBusyTimeoutMs);
  } catch (const sqlite::Error& e) {
    queue->fail("cannot turn on write-ahead logging", e);
    if (error) *error = queue->error_;
    return nullptr;
  }
  if (!queue->execute("PRAGMA synchronous=FULL") ||
      !queue->execute("PRAGMA journal_size_limit=4194304")) {
    if (error) *error = queue->error_;
    return nullptr;
  }
  // The tables once, by whoever opens a new file first: a run that opens the
  // queue pays no write for it. A newer program's file holds these tables.
  try {
    sqlite::upgrade(
        db, kSchemaVersion, [&] { return std::min(sqlite::user_version(db), kSchemaVersion); },
        [&](int) { db.exec(kSchema); });
  } catch (const sqlite::Error& e) {
    queue->said(e);
    if (error) *error = queue->error_;
    return nullptr;
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
  for (const auto mode : {sqlite::Mode::kReadWrite, sqlite::Mode::kReadOnly}) {
    std::unique_ptr<Queue> queue;
    try {
      queue.reset(new Queue(sqlite::open(path, mode, {kQueueBusyTimeoutMs}), path));
    } catch (const sqlite::Error& e) {
      if (error) *error = std::string(kQueueFile) + " (" + path + ") cannot be opened: " + e.what();
      continue;
    }
    try {
      sqlite::Statement check(queue->db_, "SELECT seq FROM messages LIMIT 0");
      check.executeStep();
    } catch (const sqlite::Error& e) {
      queue->fail("cannot be read", e);
      if (error) *error = queue->error_;
      continue;
    }
    if (error) error->clear();
    return queue;
  }
  return nullptr;
}

Queue::~Queue() = default;

bool Queue::writable() const {
  return !sqlite::read_only(db_);
}

bool Queue::fail(const std::string& what, const sqlite::Error& error) {
  error_ = std::string(kQueueFile) + " (" + path_ + ") " + what + ": " + error.what();
  return false;
}

bool Queue::said(const sqlite::Error& error) {
  error_ = std::string(kQueueFile) + " (" + path_ + "): " + error.what();
  return false;
}

bool Queue::execute(const char* sql) {
  try {
    db_.exec(sql);
  } catch (const sqlite::Error& e) {
    return said(e);
  }
  return true;
}

template <typename Steps>
bool Queue::write(Steps&& steps) {
  std::optional<sqlite::WriteTransaction> transaction;
  try {
    transaction.emplace(db_);
  } catch (const sqlite::Error& e) {
    return said(e);
  }
  const char* doing = "";
  try {
    steps(doing);
  } catch (const sqlite::Error& e) {
    return fail(doing, e);
  }
  try {
    transaction->commit();
  } catch (const sqlite::Error& e) {
    return said(e);
  }
  return true;
}

bool Queue::add(std::span<const Envelope> messages, std::string* error) {
  return add(messages, {}, error);
}

bool Queue::add(std::span<const Envelope> messages, const std::vector<Fact>& facts,
                std::string* error) {
  const bool added = write([&](const char*& doing) {
    doing = "cannot take a message";
    sqlite::Statement insert(db_,
                             "INSERT OR IGNORE INTO messages(unique_id, message_name, subject, "
                             "target, request_id, json, queued_at_ms) SELECT ?1,?2,?3,?4,?5,?6,?7 "
                             "WHERE NOT EXISTS (SELECT 1 FROM delivered WHERE unique_id = ?1)");
    const std::int64_t now = platform::utc_now_ms();
    for (const Envelope& e : messages) {
      insert.reset();
      insert.bind(1, e.unique_id);
      insert.bind(2, e.message_name);
      insert.bind(3, e.source + "." + e.message_name);
      insert.bind(4, e.target.value_or(""));
      insert.bind(5, e.request_id.value_or(""));
      insert.bind(6, envelope_json(e));
      insert.bind(7, now);
      insert.exec();
    }
    doing = "cannot keep the station's facts";
    sqlite::Statement set(db_, "INSERT OR REPLACE INTO facts(key, value) VALUES(?,?)");
    sqlite::Statement drop(db_, "DELETE FROM facts WHERE key = ?");
    for (const Fact& f : facts) {
      sqlite::Statement& s = f.value ? set : drop;
      s.reset();
      s.bind(1, f.key);
      if (f.value) s.bind(2, *f.value);
      s.exec();
    }
  });
  if (!added && error) *error = error_;
  return added;
}

std::vector<QueuedMessage> Queue::waiting(int limit) {
  std::vector<QueuedMessage> out;
  try {
    sqlite::Statement q(db_,
                        "SELECT seq, unique_id, message_name, subject, target, request_id, json, "
                        "queued_at_ms FROM messages WHERE state = 0 ORDER BY seq LIMIT ?");
    q.bind(1, limit);
    while (q.executeStep()) {
      QueuedMessage m;
      m.seq = q.getColumn(0).getInt64();
      m.unique_id = q.getColumn(1).getString();
      m.message_name = q.getColumn(2).getString();
      m.subject = q.getColumn(3).getString();
      m.target = q.getColumn(4).getString();
      m.request_id = q.getColumn(5).getString();
      m.json = q.getColumn(6).getString();
      m.queued_at_ms = q.getColumn(7).getInt64();
      out.push_back(std::move(m));
    }
  } catch (const sqlite::Error& e) {
    fail("cannot be read", e);
  }
  return out;
}

bool Queue::remove(std::int64_t seq, std::int64_t delivered_at_ms) {
  const std::int64_t one[] = {seq};
  return remove(one, delivered_at_ms);
}

bool Queue::remove(std::span<const std::int64_t> seqs, std::int64_t delivered_at_ms) {
  if (seqs.empty()) return true;
  return write([&](const char*& doing) {
    doing = "cannot mark a message delivered";
    sqlite::Statement keep(db_,
                           "INSERT OR IGNORE INTO delivered(unique_id, done_at_ms) "
                           "SELECT unique_id, ? FROM messages WHERE seq = ? AND state = 0");
    sqlite::Statement done(db_, "DELETE FROM messages WHERE seq = ? AND state = 0");
    sqlite::Statement last(db_, "INSERT OR REPLACE INTO facts(key, value) VALUES(?, ?)");
    for (const std::int64_t seq : seqs) {
      keep.reset();
      keep.bind(1, delivered_at_ms);
      keep.bind(2, seq);
      keep.exec();
      done.reset();
      done.bind(1, seq);
      done.exec();
    }
    last.bind(1, kLastDelivered);
    last.bind(2, std::to_string(delivered_at_ms));
    last.exec();
  });
}

bool Queue::tidy(std::int64_t now_ms) {
  // Delivered messages of a file from before the delivered table, a step
  // at a time.
  const bool tidied = write([&](const char*& doing) {
    doing = "cannot be tidied";
    sqlite::Statement move(db_,
                           "INSERT OR IGNORE INTO delivered(unique_id, done_at_ms) "
                           "SELECT unique_id, coalesce(done_at_ms, ?1) FROM messages "
                           "WHERE state = 1 ORDER BY seq LIMIT ?2");
    sqlite::Statement drop(db_,
                           "DELETE FROM messages WHERE seq IN "
                           "(SELECT seq FROM messages WHERE state = 1 ORDER BY seq LIMIT ?1)");
    sqlite::Statement forget(db_,
                             "DELETE FROM delivered WHERE unique_id IN (SELECT unique_id FROM "
                             "delivered WHERE done_at_ms < ?1 ORDER BY done_at_ms LIMIT ?2)");
    move.bind(1, now_ms);
    move.bind(2, kTidyRows);
    drop.bind(1, kTidyRows);
    forget.bind(1, now_ms - kDeliveredKeptMs);
    forget.bind(2, kTidyRows);
    move.exec();
    drop.exec();
    forget.exec();
  });
  if (!tidied) return false;
  auto number = [this](const char* sql) -> std::int64_t {
    try {
      return db_.execAndGet(sql).getInt64();
    } catch (const sqlite::Error&) {
      return -1;
    }
  };
  if (number("PRAGMA auto_vacuum") != 2) return compact_once();
  if (number("PRAGMA freelist_count") <= kFreePagesKept) return true;
  // Statements that return rows until the pages are given back: stepped
  // to the end, one transaction.
  try {
    sqlite::Statement give_back(db_,
                                "PRAGMA incremental_vacuum(" + std::to_string(kTidyPages) + ")");
    while (give_back.executeStep()) {
    }
  } catch (const sqlite::Error& e) {
    return fail("cannot be tidied", e);
  }
  return true;
}

// A file made before pages could be given back: rewritten once so that they
// can, when nothing waits (then it holds only the UniqueIDs of a week, and
// the rewrite is short for the runs that wait on it).
bool Queue::compact_once() {
  try {
    // Finalized before the VACUUM, which refuses to run beside a statement.
    sqlite::Statement busy(db_,
                           "SELECT EXISTS (SELECT 1 FROM messages WHERE state <> 2),"
                           " (SELECT count(*) FROM messages WHERE state = 2)");
    busy.executeStep();
    if (busy.getColumn(0).getInt64() != 0 || busy.getColumn(1).getInt64() > kTidyRows) return true;
  } catch (const sqlite::Error& e) {
    return fail("cannot be read", e);
  }
  return execute("PRAGMA auto_vacuum=INCREMENTAL") && execute("VACUUM");
}

bool Queue::set_aside(std::int64_t seq, const std::string& reason) {
  try {
    sqlite::Statement aside(db_,
                            "UPDATE messages SET state = 2, done_at_ms = ?, reason = ? "
                            "WHERE seq = ? AND state = 0");
    aside.bind(1, platform::utc_now_ms());
    aside.bind(2, reason);
    aside.bind(3, seq);
    aside.exec();
  } catch (const sqlite::Error& e) {
    return fail("cannot set a message aside", e);
  }
  return true;
}

std::vector<SetAsideMessage> Queue::set_aside_messages(int limit) {
  std::vector<SetAsideMessage> out;
  try {
    sqlite::Statement q(db_,
                        "SELECT seq, unique_id, message_name, reason, done_at_ms FROM messages "
                        "WHERE state = 2 ORDER BY seq LIMIT ?");
    q.bind(1, limit);
    while (q.executeStep()) {
      out.push_back({q.getColumn(0).getInt64(), q.getColumn(1).getString(),
                     q.getColumn(2).getString(), q.getColumn(3).getString(),
                     q.getColumn(4).getInt64()});
    }
  } catch (const sqlite::Error&) {
    // What was read so far: the list is shown, never acted on.
  }
  return out;
}

QueueStatus Queue::status() {
  QueueStatus s;
  try {
    sqlite::Statement counts(
        db_,
        "SELECT (SELECT count(*) FROM messages WHERE state = 0),"
        " (SELECT count(*) FROM messages WHERE state = 2),"
        " (SELECT queued_at_ms FROM messages WHERE state = 0 ORDER BY seq LIMIT 1)");
    counts.executeStep();
    s.waiting = counts.getColumn(0).getInt64();
    s.set_aside = counts.getColumn(1).getInt64();
    if (!counts.isColumnNull(2)) s.oldest_waiting_ms = counts.getColumn(2).getInt64();
  } catch (const sqlite::Error& e) {
    fail("cannot be read", e);
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
  try {
    sqlite::Statement q(db_, "SELECT value FROM facts WHERE key = ?");
    q.bind(1, key);
    if (q.executeStep()) return q.getColumn(0).getString();
  } catch (const sqlite::Error&) {
  }
  return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> Queue::facts_starting(const std::string& prefix) {
  std::vector<std::pair<std::string, std::string>> out;
  try {
    sqlite::Statement q(db_,
                        "SELECT key, value FROM facts WHERE substr(key, 1, ?) = ? ORDER BY key");
    q.bind(1, static_cast<std::int64_t>(prefix.size()));
    q.bind(2, prefix);
    while (q.executeStep())
      out.emplace_back(q.getColumn(0).getString(), q.getColumn(1).getString());
  } catch (const sqlite::Error&) {
  }
  return out;
}

}  // namespace cfx
