// The people and the audit trail live beside the run records, at the same
// location (the station's SQLite file or the line's PostgreSQL database),
// in tables of their own outside the records' schema version: a station of
// an older ffsload goes on writing its runs beside them.
//
// A connection of their own, since these tables are written in transactions
// that the records' interface has no room for: a person's failed PINs and
// an audit event with the one before it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/store.h"

namespace people {

using records::Row;
using Values = std::vector<std::optional<std::string>>;

enum class Dialect { kSqlite, kPostgres };

class Database {
 public:
  virtual ~Database() = default;
  virtual Dialect dialect() const = 0;
  // "records file runs.sqlite", "records database line on db1": for messages.
  virtual const std::string& where() const = 0;
  // A statement with "?" parameters, every value bound as text (NULL as nullopt).
  virtual void execute(const std::string& sql, const Values& params = {}) = 0;
  virtual std::vector<Row> query(const std::string& sql, const Values& params = {}) = 0;
  // Row by row, as a large result (a million audit events) needs.
  virtual void for_each_row(const std::string& sql, const Values& params,
                            const std::function<void(const Row&)>& take) = 0;
  // A write transaction that holds `lock` until it ends: one station's
  // audit chain, so that its events follow one another while another
  // station's go on at the same time where the store can (PostgreSQL); a
  // SQLite file takes its one write lock.
  virtual void begin(const std::string& lock) = 0;
  // On disk when it returns.
  virtual void commit() = 0;
  // Whether the commits that follow wait until they are on disk (the
  // default). Without: on disk with the next commit that waits (or a
  // checkpoint), for an event whose loss in a power cut the trail itself
  // shows, where the wait would cost every run (a run's end, whose record
  // is on disk already). A process that dies loses nothing. Outside a
  // transaction only.
  virtual void set_flushing(bool flushing) = 0;
  virtual void rollback() noexcept = 0;
  // Whether the people's and the audit's tables are there (a reader finds
  // them absent in a store no one has written people or events to).
  virtual bool has_tables() = 0;
};

// One write transaction: begun here, rolled back unless committed.
class Transaction {
 public:
  Transaction(Database& db, const std::string& lock) : db_(db) { db_.begin(lock); }
  ~Transaction() {
    if (!done_) db_.rollback();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void commit() {
    db_.commit();
    done_ = true;
  }

 private:
  Database& db_;
  bool done_ = false;
};

enum class Access { kWriting, kReading };

// Opens the store at a records location (records::resolve_location's url).
// For writing, the tables are made when missing. Throws records::StoreError
// with the location (its password hidden) and the reason.
std::unique_ptr<Database> open_database(const std::string& location, Access access);

// The SQLite and PostgreSQL connections open_database chooses between.
std::unique_ptr<Database> open_sqlite_database(const std::string& path, Access access);
std::unique_ptr<Database> open_postgres_database(const std::string& url, Access access);

// The tables' statements, made when missing ("CREATE ... IF NOT EXISTS").
std::vector<std::string> table_statements(Dialect dialect);

}  // namespace people
