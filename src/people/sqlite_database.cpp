// The people and the audit trail in the station's SQLite records file, kept
// as the records keep it: write-ahead log, so that the ports of a station
// write at once and a reader never blocks them, and a short busy wait for
// the write lock. Each commit is synced before it returns (FULL): an audit
// event or a failed PIN's count is on disk before the step it guards.
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "people/database.h"

namespace people {

namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr int kBusyTriesPerMs = 5;

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
  void bind(const Values& params) {
    for (std::size_t i = 0; i < params.size(); ++i) {
      const int index = static_cast<int>(i + 1);
      if (params[i]) {
        sqlite3_bind_text(stmt_, index, params[i]->data(), static_cast<int>(params[i]->size()),
                          SQLITE_TRANSIENT);
      } else {
        sqlite3_bind_null(stmt_, index);
      }
    }
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int status_ = SQLITE_OK;
};

void fill_row(sqlite3_stmt* stmt, Row& row) {
  const int columns = sqlite3_column_count(stmt);
  row.resize(static_cast<std::size_t>(columns));
  for (int c = 0; c < columns; ++c) {
    auto& cell = row[static_cast<std::size_t>(c)];
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
    if (!text) {
      cell.reset();
      if (sqlite3_column_type(stmt, c) != SQLITE_NULL) cell.emplace();
      continue;
    }
    cell.emplace(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)));
  }
}

class SqliteDatabase final : public Database {
 public:
  SqliteDatabase(const std::string& path, Access access) : where_("records file " + path) {
    if (access == Access::kReading && !std::filesystem::exists(path)) {
      throw records::StoreError(where_ + ": no such file");
    }
    const int flags = access == Access::kWriting ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                                 : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
      const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      db_ = nullptr;
      throw records::StoreError(where_ + ": " + why);
    }
    sqlite3_busy_handler(
        db_,
        [](void*, int tries) {
          if (tries >= kBusyTimeoutMs * kBusyTriesPerMs) return 0;
          std::this_thread::sleep_for(std::chrono::microseconds(1000 / kBusyTriesPerMs));
          return 1;
        },
        nullptr);
    try {
      if (access == Access::kWriting) {
        // A new file's switch to WAL takes an exclusive lock for which the
        // busy handler is not called: processes starting together wait here.
        for (int waited_ms = 0;; waited_ms += 10) {
          const int rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
          if (rc == SQLITE_OK) break;
          if ((rc & 0xFF) != SQLITE_BUSY || waited_ms >= kBusyTimeoutMs) {
            fail("cannot turn on write-ahead logging");
          }
          sqlite3_sleep(10);
        }
        execute("PRAGMA synchronous=FULL", {});
        if (!has_tables()) {
          begin("");
          try {
            for (const std::string& sql : table_statements(Dialect::kSqlite)) execute(sql, {});
            commit();
          } catch (...) {
            rollback();
            throw;
          }
        }
      }
    } catch (...) {
      sqlite3_close(db_);
      db_ = nullptr;
      throw;
    }
  }
  ~SqliteDatabase() override { sqlite3_close(db_); }

  Dialect dialect() const override { return Dialect::kSqlite; }
  const std::string& where() const override { return where_; }

  void execute(const std::string& sql, const Values& params) override {
    Statement statement(db_, sql);
    if (!statement.ok()) fail("cannot write");
    statement.bind(params);
    int step = 0;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
    }
    if (step != SQLITE_DONE) fail("cannot write");
  }

  std::vector<Row> query(const std::string& sql, const Values& params) override {
    std::vector<Row> rows;
    for_each_row(sql, params, [&rows](const Row& row) { rows.push_back(row); });
    return rows;
  }

  void for_each_row(const std::string& sql, const Values& params,
                    const std::function<void(const Row&)>& take) override {
    Statement statement(db_, sql);
    if (!statement.ok()) fail("cannot read");
    statement.bind(params);
    Row row;
    int step = 0;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
      fill_row(statement.get(), row);
      take(row);
    }
    if (step != SQLITE_DONE) fail("cannot read");
  }

  void begin(const std::string&) override { execute("BEGIN IMMEDIATE", {}); }
  void commit() override { execute("COMMIT", {}); }
  void set_flushing(bool flushing) override {
    // In WAL mode NORMAL commits without a sync; the next FULL commit syncs
    // the log with this one in it.
    execute(flushing ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL", {});
  }
  void rollback() noexcept override { sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); }

  bool has_tables() override {
    const auto rows = query(
        "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('people', "
        "'audit_events')",
        {});
    return !rows.empty() && rows[0][0] == "2";
  }

 private:
  [[noreturn]] void fail(const std::string& what) {
    const int code = sqlite3_errcode(db_);
    const std::string why = where_ + ": " + what + ": " + sqlite3_errmsg(db_);
    if (code == SQLITE_CONSTRAINT) throw records::RecordRefused(why);
    throw records::StoreError(why);
  }

  std::string where_;
  sqlite3* db_ = nullptr;
};

}  // namespace

std::unique_ptr<Database> open_sqlite_database(const std::string& path, Access access) {
  return std::make_unique<SqliteDatabase>(path, access);
}

}  // namespace people
