// The people and the audit trail in the station's SQLite records file, kept
// as the records keep it: write-ahead log, so that the ports of a station
// write at once and a reader never blocks them, and a short busy wait for
// the write lock. Each commit is synced before it returns (FULL): an audit
// event or a failed PIN's count is on disk before the step it guards.
#include <filesystem>
#include <optional>

#include "people/database.h"
#include "sqlite/connection.h"
#include "sqlite/statement.h"

namespace people {

namespace {

constexpr int kBusyTimeoutMs = 5000;

void bind_all(sqlite::Statement& statement, const Values& params) {
  for (std::size_t i = 0; i < params.size(); ++i) {
    sqlite::bind(statement, static_cast<int>(i + 1), params[i]);
  }
}

class SqliteDatabase final : public Database {
 public:
  SqliteDatabase(const std::string& path, Access access) : where_("records file " + path) {
    if (access == Access::kReading && !std::filesystem::exists(path)) {
      throw records::StoreError(where_ + ": no such file");
    }
    try {
      db_.emplace(sqlite::open(
          path, access == Access::kWriting ? sqlite::Mode::kReadWriteCreate : sqlite::Mode::kReadOnly,
          {kBusyTimeoutMs, sqlite::Wait::kPolling}));
    } catch (const sqlite::Error& e) {
      throw records::StoreError(where_ + ": " + e.what());
    }
    if (access != Access::kWriting) return;
    try {
      sqlite::turn_on_wal(*db_, kBusyTimeoutMs);
    } catch (const sqlite::Error& e) {
      throw records::StoreError(where_ + ": cannot turn on write-ahead logging: " + e.what());
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

  Dialect dialect() const override { return Dialect::kSqlite; }
  const std::string& where() const override { return where_; }

  void execute(const std::string& sql, const Values& params) override {
    try {
      sqlite::Statement statement(*db_, sql);
      bind_all(statement, params);
      while (statement.executeStep()) {
      }
    } catch (const sqlite::Error& e) {
      fail("cannot write", e);
    }
  }

  std::vector<Row> query(const std::string& sql, const Values& params) override {
    std::vector<Row> rows;
    for_each_row(sql, params, [&rows](const Row& row) { rows.push_back(row); });
    return rows;
  }

  void for_each_row(const std::string& sql, const Values& params,
                    const std::function<void(const Row&)>& take) override {
    Row row;
    try {
      sqlite::Statement statement(*db_, sql);
      bind_all(statement, params);
      while (statement.executeStep()) {
        const int columns = statement.getColumnCount();
        row.resize(static_cast<std::size_t>(columns));
        for (int c = 0; c < columns; ++c) {
          row[static_cast<std::size_t>(c)] = sqlite::text_or_null(statement.getColumn(c));
        }
        take(row);
      }
    } catch (const sqlite::Error& e) {
      fail("cannot read", e);
    }
  }

  void begin(const std::string&) override { execute("BEGIN IMMEDIATE", {}); }
  void commit() override { execute("COMMIT", {}); }
  void set_flushing(bool flushing) override {
    // In WAL mode NORMAL commits without a sync; the next FULL commit syncs
    // the log with this one in it.
    execute(flushing ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL", {});
  }
  void rollback() noexcept override {
    try {
      db_->tryExec("ROLLBACK");
    } catch (...) {
    }
  }

  bool has_tables() override {
    const auto rows = query(
        "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('people', "
        "'audit_events')",
        {});
    return !rows.empty() && rows[0][0] == "2";
  }

 private:
  [[noreturn]] void fail(const std::string& what, const sqlite::Error& e) {
    const std::string why = where_ + ": " + what + ": " + e.what();
    if (sqlite::refused_for_values(e)) throw records::RecordRefused(why);
    throw records::StoreError(why);
  }

  std::string where_;
  std::optional<sqlite::Database> db_;
};

}  // namespace

std::unique_ptr<Database> open_sqlite_database(const std::string& path, Access access) {
  return std::make_unique<SqliteDatabase>(path, access);
}

}  // namespace people
