#include "records/sqlite_store.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/durable_files.h"
#include "platform/file_status.h"
#include "platform/files.h"
#include "records/schema.h"
#include "sqlite/schema_upgrade.h"
#include "sqlite/statement.h"

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

// For reading: the file must be there (reading creates nothing), and which
// file it is before SQLite opens it, since SQLite opens it at its first read.
std::optional<platform::FileIdentity> file_before_reading(const std::string& path,
                                                          OpenFor purpose) {
  if (purpose == OpenFor::kWriting) return std::nullopt;
  if (!std::filesystem::exists(path)) throw StoreError("records file " + path + ": no such file");
  return file_identity(path);
}

// The ports of a station write their records at the same moments (a run's
// start and end): SQLite's own busy wait backs off to 25 and 50 ms naps for
// a lock that is held for well under a millisecond (a commit syncs after it
// lets go, see flush_wal), so ports started together would drift apart.
sqlite::Database open_file(const std::string& path, OpenFor purpose, int busy_timeout_ms) {
  try {
    return sqlite::open(
        path,
        purpose == OpenFor::kWriting ? sqlite::Mode::kReadWriteCreate : sqlite::Mode::kReadOnly,
        {busy_timeout_ms, sqlite::Wait::kPolling});
  } catch (const sqlite::Error& e) {
    throw StoreError("records file " + path + ": " + e.what());
  }
}

Row row_of(const sqlite::Statement& statement) {
  Row row;
  const int columns = statement.getColumnCount();
  row.reserve(static_cast<std::size_t>(columns));
  for (int c = 0; c < columns; ++c) row.push_back(sqlite::text_or_null(statement.getColumn(c)));
  return row;
}

bool wal_exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path + "-wal", ec);
}

}  // namespace

SqliteStore::SqliteStore(const std::string& path, OpenFor purpose, int busy_timeout_ms)
    : path_(path),
      busy_timeout_ms_(busy_timeout_ms),
      wal_named_on_disk_(wal_exists(path)),
      identity_(file_before_reading(path, purpose)),
      db_(open_file(path, purpose, busy_timeout_ms)) {
  if (purpose == OpenFor::kWriting) {
    // WAL lets the processes of one station write the same file, and a
    // reader never blocks them; each commit is flushed (see commit()).
    try {
      sqlite::turn_on_wal(db_, busy_timeout_ms);
    } catch (const sqlite::Error& e) {
      fail("cannot turn on write-ahead logging", e);
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
    sqlite::leave_wal_at_close(db_);
    writing_ = true;
    upgrade();
    identity_ = file_identity(path_);
  } else {
    const auto identity_before = identity_;
    const int version = schema_version();
    identity_ = file_identity(path_, &size_seen_);
    if (!identity_ || identity_ != identity_before) {
      throw StoreError("records file " + path_ + ": replaced while it was being opened");
    }
    if (version == 0) throw StoreError("records file " + path_ + ": holds no run records");
    if (version > kSchemaVersion) {
      throw StoreError("records file " + path_ + " has records schema " + std::to_string(version) +
                       ", newer than this ffsload knows (" + std::to_string(kSchemaVersion) + ")");
    }
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

sqlite::WriteTransaction SqliteStore::begin() {
  try {
    return sqlite::WriteTransaction(db_);
  } catch (const sqlite::Error& e) {
    throw StoreError("records file " + path_ + ": " + e.what());
  }
}

void SqliteStore::commit(sqlite::WriteTransaction& transaction) {
  try {
    transaction.commit();
  } catch (const sqlite::Error& e) {
    throw StoreError("records file " + path_ + ": " + e.what());
  }
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
    sqlite::fold_wal_now(db_);
  }
}

void SqliteStore::fail(const std::string& what, const sqlite::Error& error) {
  const std::string why = "records file " + path_ + ": " + what + ": " + error.what();
  // A rule of the table (a CHECK, NOT NULL) or a value too big: the record's fault.
  if (sqlite::refused_for_values(error)) throw RecordRefused(why);
  throw StoreError(why);
}

void SqliteStore::execute(const std::string& sql) {
  try {
    db_.exec(sql);
  } catch (const sqlite::Error& e) {
    throw StoreError("records file " + path_ + ": " + e.what());
  }
}

int SqliteStore::schema_version() {
  try {
    sqlite::Statement has_table(db_,
                                "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    has_table.bind(1, kVersionTable);
    if (!has_table.executeStep()) return 0;
  } catch (const sqlite::Error& e) {
    fail("cannot read", e);
  }
  try {
    return db_.execAndGet(std::string("SELECT max(version) FROM ") + kVersionTable).getInt();
  } catch (const sqlite::Error& e) {
    fail("cannot read its version", e);
  }
}

void SqliteStore::upgrade() {
  bool upgraded = false;
  try {
    // The usual case, a file up to date, takes no write lock; two processes
    // that find an old file upgrade it one after the other.
    upgraded = sqlite::upgrade(
        db_, kSchemaVersion, [this] { return schema_version(); },
        [this](int from) {
          upgrade_schema(Dialect::kSqlite, from, "records file " + path_,
                         [this](const std::string& sql) { execute(sql); });
        });
  } catch (const sqlite::Error& e) {
    throw StoreError("records file " + path_ + ": " + e.what());
  }
  if (upgraded && flush_each_commit_) flush_wal();
}

void SqliteStore::append(std::span<const RunRecord> records) {
  auto transaction = begin();
  try {
    sqlite::Statement insert(db_, insert_statement(Dialect::kSqlite));
    for (const RunRecord& record : records) {
      const auto values = record_values(record);
      insert.reset();
      for (std::size_t i = 0; i < values.size(); ++i) {
        sqlite::bind(insert, static_cast<int>(i + 1), values[i]);
      }
      insert.exec();
    }
  } catch (const sqlite::Error& e) {
    fail("cannot add a record", e);
  }
  commit(transaction);
}

std::vector<Row> SqliteStore::query(const std::string& sql,
                                    const std::vector<std::string>& params) {
  std::vector<Row> rows;
  try {
    sqlite::Statement statement(db_, sql);
    for (std::size_t i = 0; i < params.size(); ++i) {
      statement.bind(static_cast<int>(i + 1), params[i]);
    }
    while (statement.executeStep()) rows.push_back(row_of(statement));
  } catch (const sqlite::Error& e) {
    fail("cannot query", e);
  }
  return rows;
}

void SqliteStore::for_each_row(const std::string& sql, const std::vector<std::string>& params,
                               const std::function<void(const Row&)>& take) {
  try {
    sqlite::Statement statement(db_, sql);
    for (std::size_t i = 0; i < params.size(); ++i) {
      statement.bind(static_cast<int>(i + 1), params[i]);
    }
    // One row, refilled in place: its strings keep their buffers from row to
    // row, so a million rows cost no allocation each. The columns too are
    // made once, at the first row, and read each row after it.
    Row row(static_cast<std::size_t>(statement.getColumnCount()));
    std::vector<sqlite::Column> columns;
    while (statement.executeStep()) {
      for (std::size_t c = columns.size(); c < row.size(); ++c) {
        columns.push_back(statement.getColumn(static_cast<int>(c)));
      }
      for (std::size_t c = 0; c < row.size(); ++c) {
        // The text first, and the type only when there is none (a NULL, an
        // empty blob, or memory running out): each call costs, a million
        // rows of a report make it count.
        const char* text = columns[c].getText(nullptr);
        if (!text) {
          if (columns[c].isNull()) {
            row[c].reset();
            continue;
          }
          if (columns[c].getBytes() != 0) {
            throw StoreError("records file " + path_ + ": cannot query: " + db_.getErrorMsg());
          }
          text = "";
        }
        const auto size = static_cast<std::size_t>(columns[c].getBytes());
        if (row[c]) {
          row[c]->assign(text, size);
        } else {
          row[c].emplace(text, size);
        }
      }
      take(row);
    }
  } catch (const sqlite::Error& e) {
    fail("cannot query", e);
  }
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
  auto transaction = begin();
  try {
    sqlite::Statement erase(db_, "DELETE FROM runs WHERE uid = ?1 AND revision <= ?2");
    for (const RunRecord& record : sent) {
      erase.reset();
      erase.bind(1, record.uid);
      erase.bind(2, record.revision);
      erase.exec();
    }
  } catch (const sqlite::Error& e) {
    fail("cannot remove a record", e);
  }
  commit(transaction);
}

bool SqliteStore::set_aside(const RunRecord& record, const std::string& reason) {
  auto transaction = begin();
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
  bool moved = false;
  try {
    sqlite::Statement move(
        db_, std::string("INSERT INTO set_aside (set_aside_at, reason, ") + kRecordColumns +
                 ") SELECT strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), ?1, " + kRecordColumns +
                 " FROM runs WHERE uid = ?2 AND revision <= ?3");
    move.bind(1, reason);
    move.bind(2, record.uid);
    move.bind(3, record.revision);
    move.exec();
    sqlite::Statement erase(db_, "DELETE FROM runs WHERE uid = ?1 AND revision <= ?2");
    erase.bind(1, record.uid);
    erase.bind(2, record.revision);
    moved = erase.exec() > 0;
  } catch (const sqlite::Error& e) {
    fail("cannot set a record aside", e);
  }
  commit(transaction);
  return moved;
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
