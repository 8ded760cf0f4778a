#include "records/sqlite_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/durable_files.h"
#include "platform/file_status.h"
#include "platform/files.h"
#include "records/schema.h"

namespace records {

namespace {

// The file at `path` as the file system knows it, and its size.
std::optional<platform::FileIdentity> file_identity(const std::string& path,
                                                    std::uint64_t* size = nullptr) {
  const auto status = platform::file_status(path);
  if (!status) return std::nullopt;
  if (size) *size = status->size;
  return status->identity;
}

// Tries for the write lock in each millisecond of the busy timeout.
constexpr int kBusyTriesPerMs = 5;

// Finalises a statement on every road out.
class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) {
    status_ = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  bool ok() const { return status_ == SQLITE_OK; }
  sqlite3_stmt* get() { return stmt_; }

  void bind(int index, const std::optional<std::string>& value) {
    if (value) {
      sqlite3_bind_text(stmt_, index, value->data(), static_cast<int>(value->size()),
                        SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(stmt_, index);
    }
  }
  void bind(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int status_ = SQLITE_OK;
};

Row row_of(sqlite3_stmt* stmt) {
  Row row;
  const int columns = sqlite3_column_count(stmt);
  row.reserve(static_cast<std::size_t>(columns));
  for (int c = 0; c < columns; ++c) {
    if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
      row.emplace_back(std::nullopt);
    } else {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
      row.emplace_back(std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, c))));
    }
  }
  return row;
}

}  // namespace

SqliteStore::SqliteStore(const std::string& path, OpenFor purpose, int busy_timeout_ms)
    : path_(path), busy_timeout_ms_(busy_timeout_ms) {
  if (purpose == OpenFor::kReading && !std::filesystem::exists(path)) {
    throw StoreError("records file " + path + ": no such file");
  }
  const int flags = purpose == OpenFor::kWriting ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                                 : SQLITE_OPEN_READONLY;
  std::error_code wal_ec;
  wal_named_on_disk_ = std::filesystem::exists(path + "-wal", wal_ec);
  // SQLite opens the file at its first read: the file at the path before the
  // open and after the first read must be the same one for a reader to know
  // which file it reads.
  const auto identity_before = purpose == OpenFor::kReading ? file_identity(path) : std::nullopt;
  if (sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
    const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw StoreError("records file " + path + ": " + why);
  }
  // The ports of a station write their records at the same moments (a run's
  // start and end): SQLite's own busy wait backs off to 25 and 50 ms naps
  // for a lock that is held for well under a millisecond (a commit syncs
  // after it lets go, see flush_wal), so ports started together would drift
  // apart. A fifth of a millisecond between tries, up to the timeout.
  sqlite3_busy_handler(
      db_,
      [](void* limit_ms, int tries) {
        if (tries >= *static_cast<const int*>(limit_ms) * kBusyTriesPerMs) return 0;
        std::this_thread::sleep_for(std::chrono::microseconds(1000 / kBusyTriesPerMs));
        return 1;
      },
      &busy_timeout_ms_);
  try {
    if (purpose == OpenFor::kWriting) {
      // WAL lets the processes of one station write the same file, and a
      // reader never blocks them; FULL makes each committed record durable.
      // Turning a new file to WAL takes an exclusive lock for which SQLite's
      // busy handler is not called: processes starting at once on a new
      // file wait for one another here instead of giving up.
      for (int waited_ms = 0;; waited_ms += 10) {
        const int rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) break;
        if ((rc & 0xFF) != SQLITE_BUSY || waited_ms >= busy_timeout_ms) {
          fail("cannot turn on write-ahead logging");
        }
        sqlite3_sleep(10);
      }
      // NORMAL: a commit does not sync while it holds the file's write lock;
      // commit() syncs after it (see flush_wal).
      execute("PRAGMA synchronous=NORMAL");
      // A station writes a record and closes. Folding the WAL into the file
      // at every close costs each record a sync of the file, so the WAL is
      // left for the next writer; but a process that opens the file alone
      // rebuilds the WAL's index by reading all of it and checkpoints it from
      // the start again, so it must stay short: the close folds it once it
      // has grown past kFoldWalBytes (see ~SqliteStore).
      sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
      writing_ = true;
      upgrade();
      identity_ = file_identity(path_);
    } else {
      const int version = schema_version();
      identity_ = file_identity(path_, &size_seen_);
      if (!identity_ || identity_ != identity_before) {
        throw StoreError("records file " + path_ + ": replaced while it was being opened");
      }
      if (version == 0) throw StoreError("records file " + path_ + ": holds no run records");
      if (version > kSchemaVersion) {
        throw StoreError("records file " + path_ + " has records schema " +
                         std::to_string(version) + ", newer than this ffsload knows (" +
                         std::to_string(kSchemaVersion) + ")");
      }
    }
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

bool SqliteStore::still_usable() const {
  return writing_ && identity_ && file_identity(path_) == identity_;
}

std::string SqliteStore::changed_at_location() {
  std::uint64_t size = 0;
  const auto now = file_identity(path_, &size);
  if (!now) return "records file " + path_ + " was deleted or moved away";
  if (now != identity_) return "records file " + path_ + " was replaced by another file";
  if (size < size_seen_) return "records file " + path_ + " was truncated";
  size_seen_ = size;
  return "";
}

void SqliteStore::set_flush_each_commit(bool flush) {
  // Without: a copy costs no sync at all, and the next commit that flushes
  // syncs what came before it too.
  flush_each_commit_ = flush;
}

void SqliteStore::commit() {
  execute("COMMIT");
  if (flush_each_commit_) flush_wal();
}

// The WAL is synced after the commit, not inside it: SQLite's FULL syncs
// while it holds the file's write lock, twice at a connection's first commit
// (the WAL, then its folder), so the ports of a station whose runs end
// together would queue for the disk one behind the other. A commit is on
// disk all the same before commit() returns: this sync takes the WAL with
// it, and a checkpoint that folded the WAL away meanwhile synced the file.
void SqliteStore::flush_wal() {
  const std::string wal = path_ + "-wal";
  const int error = platform::sync_file_data(wal);
  if (error == ENOENT) return;
  if (error != 0) {
    throw StoreError("records file " + path_ + ": cannot flush its log: " + std::strerror(error));
  }
  if (!wal_named_on_disk_) {
    if (!platform::sync_folder_of(wal)) {
      throw StoreError("records file " + path_ + ": cannot flush its folder");
    }
    wal_named_on_disk_ = true;
  }
}

SqliteStore::~SqliteStore() {
  std::error_code ec;
  if (writing_ && std::filesystem::file_size(path_ + "-wal", ec) > kFoldWalBytes && !ec) {
    // Without waiting: a reader that holds the WAL (the board, a report)
    // makes a later close fold it instead of holding a run up here.
    sqlite3_busy_timeout(db_, 0);
    sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  }
  sqlite3_close(db_);
}

void SqliteStore::fail(const std::string& what) {
  const std::string why = "records file " + path_ + ": " + what + ": " + sqlite3_errmsg(db_);
  // A rule of the table (a CHECK, NOT NULL) or a value too big: the record's fault.
  const int code = sqlite3_errcode(db_);
  if (code == SQLITE_CONSTRAINT || code == SQLITE_TOOBIG || code == SQLITE_MISMATCH) {
    throw RecordRefused(why);
  }
  throw StoreError(why);
}

void SqliteStore::execute(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string why = error ? error : sqlite3_errmsg(db_);
    sqlite3_free(error);
    throw StoreError("records file " + path_ + ": " + why);
  }
}

int SqliteStore::schema_version() {
  Statement has_table(db_, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
  if (!has_table.ok()) fail("cannot read");
  has_table.bind(1, std::string(kVersionTable));
  const int step = sqlite3_step(has_table.get());
  if (step == SQLITE_DONE) return 0;
  if (step != SQLITE_ROW) fail("cannot read");
  Statement version(db_, std::string("SELECT max(version) FROM ") + kVersionTable);
  if (!version.ok() || sqlite3_step(version.get()) != SQLITE_ROW) fail("cannot read its version");
  return sqlite3_column_int(version.get(), 0);
}

void SqliteStore::upgrade() {
  if (schema_version() == kSchemaVersion) return;  // the usual case: no write lock taken
  // IMMEDIATE: two processes that find an old file upgrade it one after the other.
  execute("BEGIN IMMEDIATE");
  try {
    upgrade_schema(Dialect::kSqlite, schema_version(), "records file " + path_,
                   [this](const std::string& sql) { execute(sql); });
    commit();
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void SqliteStore::append(std::span<const RunRecord> records) {
  execute("BEGIN IMMEDIATE");
  try {
    Statement insert(db_, insert_statement(Dialect::kSqlite));
    if (!insert.ok()) fail("cannot add a record");
    for (const RunRecord& record : records) {
      const auto values = record_values(record);
      sqlite3_reset(insert.get());
      for (std::size_t i = 0; i < values.size(); ++i) {
        insert.bind(static_cast<int>(i + 1), values[i]);
      }
      if (sqlite3_step(insert.get()) != SQLITE_DONE) fail("cannot add a record");
    }
    commit();
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::vector<Row> SqliteStore::query(const std::string& sql,
                                    const std::vector<std::string>& params) {
  Statement statement(db_, sql);
  if (!statement.ok()) fail("cannot query");
  for (std::size_t i = 0; i < params.size(); ++i) {
    statement.bind(static_cast<int>(i + 1), params[i]);
  }
  std::vector<Row> rows;
  int step = 0;
  while ((step = sqlite3_step(statement.get())) == SQLITE_ROW)
    rows.push_back(row_of(statement.get()));
  if (step != SQLITE_DONE) fail("cannot query");
  return rows;
}

void SqliteStore::for_each_row(const std::string& sql, const std::vector<std::string>& params,
                               const std::function<void(const Row&)>& take) {
  Statement statement(db_, sql);
  if (!statement.ok()) fail("cannot query");
  for (std::size_t i = 0; i < params.size(); ++i) {
    statement.bind(static_cast<int>(i + 1), params[i]);
  }
  // One row, refilled in place: its strings keep their buffers from row to
  // row, so a million rows cost no allocation each.
  Row row(static_cast<std::size_t>(sqlite3_column_count(statement.get())));
  int step = 0;
  while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      const int column = static_cast<int>(c);
      // The text first, and the type only when there is none (a NULL, an
      // empty blob, or memory running out): each call costs, a million rows
      // of a report make it count.
      const auto* text =
          reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), column));
      if (!text) {
        const int type = sqlite3_column_type(statement.get(), column);
        if (type == SQLITE_NULL) {
          row[c].reset();
          continue;
        }
        if (sqlite3_column_bytes(statement.get(), column) != 0) fail("cannot query");
        text = "";
      }
      const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement.get(), column));
      if (row[c]) {
        row[c]->assign(text, size);
      } else {
        row[c].emplace(text, size);
      }
    }
    take(row);
  }
  if (step != SQLITE_DONE) fail("cannot query");
}

std::unique_ptr<Store> SqliteStore::open_reader() const {
  try {
    return std::make_unique<SqliteStore>(path_, OpenFor::kReading, busy_timeout_ms_);
  } catch (const StoreError&) {
    return nullptr;  // this connection reads it all then
  }
}

std::vector<RunRecord> SqliteStore::all_records() {
  std::vector<RunRecord> records;
  for (const Row& row :
       query(std::string("SELECT ") + kRecordColumns + " FROM runs ORDER BY id", {})) {
    records.push_back(record_from_values(row));
  }
  return records;
}

void SqliteStore::remove(const std::vector<RunRecord>& sent) {
  execute("BEGIN IMMEDIATE");
  try {
    Statement erase(db_, "DELETE FROM runs WHERE uid = ?1 AND revision <= ?2");
    if (!erase.ok()) fail("cannot remove a record");
    for (const RunRecord& record : sent) {
      sqlite3_reset(erase.get());
      erase.bind(1, record.uid);
      erase.bind(2, record.revision);
      if (sqlite3_step(erase.get()) != SQLITE_DONE) fail("cannot remove a record");
    }
    commit();
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

bool SqliteStore::set_aside(const RunRecord& record, const std::string& reason) {
  execute("BEGIN IMMEDIATE");
  try {
    // Untyped columns named as the records' own: the outbox is our file, and
    // its set-aside table follows whatever columns this program writes.
    execute(std::string("CREATE TABLE IF NOT EXISTS set_aside (set_aside_at TEXT NOT NULL, "
                        "reason TEXT NOT NULL, ") +
            kRecordColumns + ")");
    // An outbox an older program set records aside in lacks the columns
    // added since.
    std::vector<std::string> present;
    for (const Row& row : query("SELECT name FROM pragma_table_info('set_aside')", {})) {
      if (row[0]) present.push_back(*row[0]);
    }
    const std::string columns = kRecordColumns;
    for (std::size_t start = 0; start < columns.size();) {
      std::size_t comma = columns.find(',', start);
      if (comma == std::string::npos) comma = columns.size();
      std::string column = columns.substr(start, comma - start);
      column.erase(0, column.find_first_not_of(' '));
      if (std::find(present.begin(), present.end(), column) == present.end()) {
        execute("ALTER TABLE set_aside ADD COLUMN " + column);
      }
      start = comma + 1;
    }
    Statement move(db_, std::string("INSERT INTO set_aside (set_aside_at, reason, ") +
                            kRecordColumns +
                            ") SELECT strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), ?1, " +
                            kRecordColumns + " FROM runs WHERE uid = ?2 AND revision <= ?3");
    if (!move.ok()) fail("cannot set a record aside");
    move.bind(1, reason);
    move.bind(2, record.uid);
    move.bind(3, record.revision);
    if (sqlite3_step(move.get()) != SQLITE_DONE) fail("cannot set a record aside");
    Statement erase(db_, "DELETE FROM runs WHERE uid = ?1 AND revision <= ?2");
    if (!erase.ok()) fail("cannot set a record aside");
    erase.bind(1, record.uid);
    erase.bind(2, record.revision);
    if (sqlite3_step(erase.get()) != SQLITE_DONE) fail("cannot set a record aside");
    const bool moved = sqlite3_changes(db_) > 0;
    commit();
    return moved;
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

long SqliteStore::waiting_count() {
  const auto rows = query("SELECT count(*) FROM runs", {});
  return rows.empty() || !rows[0][0] ? 0 : std::stol(*rows[0][0]);
}

long SqliteStore::set_aside_count() {
  if (query("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'set_aside'", {}).empty())
    return 0;
  const auto rows = query("SELECT count(*) FROM set_aside", {});
  return rows.empty() || !rows[0][0] ? 0 : std::stol(*rows[0][0]);
}

}  // namespace records
