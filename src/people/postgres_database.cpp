// The people and the audit trail in the line's PostgreSQL database, reached
// as the records reach it: the client library's own conventions for the
// password (~/.pgpass, a service file), loaded when first needed, a server
// that does not answer within a few seconds taken as away.
#include <cstdlib>
#include <exception>
#include <memory>

#include "people/database.h"
#include "records/libpq_api.h"
#include "records/location.h"
#include "records/postgres_store.h"

namespace people {

using records::numbered;
using records::Result;
using records::trimmed;

namespace {

using records::libpq;

// Any numbers, the same in every station: the first makes the tables one
// station at a time, the second is the class of the stations' chain locks.
constexpr long long kTablesLockKey = 0x66667370656f706cLL;  // "ffspeopl"
constexpr int kChainLockClass = 0x66736175;                  // "fsau"


class PostgresDatabase final : public Database {
 public:
  PostgresDatabase(const std::string& url, Access access) {
    conn_ = records::connect_to_server(url, &where_);
    try {
      if (access == Access::kWriting && !has_tables()) make_tables();
    } catch (...) {
      libpq().PQfinish(conn_);
      conn_ = nullptr;
      throw;
    }
  }
  ~PostgresDatabase() override { libpq().PQfinish(conn_); }

  Dialect dialect() const override { return Dialect::kPostgres; }
  const std::string& where() const override { return where_; }

  void execute(const std::string& sql, const Values& params) override { run(sql, params); }
  std::vector<Row> query(const std::string& sql, const Values& params) override {
    return run(sql, params);
  }

  void for_each_row(const std::string& sql, const Values& params,
                    const std::function<void(const Row&)>& take) override {
    std::vector<const char*> values;
    for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
    const std::string text = numbered(sql);
    if (!libpq().PQsendQueryParams(conn_, text.c_str(), static_cast<int>(values.size()), nullptr,
                                   values.data(), nullptr, nullptr, 0) ||
        !libpq().PQsetSingleRowMode(conn_)) {
      Result drained(libpq().PQgetResult(conn_));
      while (drained) drained.reset(libpq().PQgetResult(conn_));
      throw records::StoreError(failure());
    }
    std::string error;
    std::exception_ptr caught;
    Row row;
    // Every result is read to the end, also after an error, so that the
    // connection is ready for the next statement.
    for (Result result(libpq().PQgetResult(conn_)); result;
         result.reset(libpq().PQgetResult(conn_))) {
      const ExecStatusType status = libpq().PQresultStatus(result.get());
      if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) continue;
      if (status != PGRES_SINGLE_TUPLE) {
        if (error.empty()) error = failure();
        continue;
      }
      if (!error.empty() || caught) continue;
      fill(result.get(), 0, row);
      try {
        take(row);
      } catch (...) {
        caught = std::current_exception();
      }
    }
    if (caught) std::rethrow_exception(caught);
    if (!error.empty()) throw records::StoreError(error);
  }

  void begin(const std::string& lock) override {
    run("BEGIN", {});
    if (lock.empty()) return;
    try {
      run("SELECT pg_advisory_xact_lock(" + std::to_string(kChainLockClass) + ", hashtext(?))",
          {lock});
    } catch (...) {
      rollback();
      throw;
    }
  }
  void commit() override { run("COMMIT", {}); }
  void set_flushing(bool flushing) override {
    run(flushing ? "SET synchronous_commit = on" : "SET synchronous_commit = off", {});
  }
  void rollback() noexcept override { libpq().PQclear(libpq().PQexec(conn_, "ROLLBACK")); }

  bool has_tables() override {
    const auto rows = run(
        "SELECT to_regclass('people') IS NOT NULL AND to_regclass('audit_events') IS NOT NULL",
        {});
    return !rows.empty() && rows[0][0] == "t";
  }

 private:
  // Stations meeting a database without the tables make them one at a time:
  // the lock before the transaction, whose catalogue view is taken when it
  // begins.
  void make_tables() {
    const std::string key = std::to_string(kTablesLockKey);
    run("SELECT pg_advisory_lock(" + key + ")", {});
    try {
      // Another station may have made them while this one waited.
      if (!has_tables()) {
        run("BEGIN", {});
        for (const std::string& sql : table_statements(Dialect::kPostgres)) run(sql, {});
        run("COMMIT", {});
      }
    } catch (...) {
      rollback();
      libpq().PQclear(libpq().PQexec(conn_, ("SELECT pg_advisory_unlock(" + key + ")").c_str()));
      throw;
    }
    run("SELECT pg_advisory_unlock(" + key + ")", {});
  }

  std::string failure() { return where_ + ": " + trimmed(libpq().PQerrorMessage(conn_)); }

  static void fill(PGresult* result, int r, Row& row) {
    const int columns = libpq().PQnfields(result);
    row.assign(static_cast<std::size_t>(columns), std::nullopt);
    for (int c = 0; c < columns; ++c) {
      if (!libpq().PQgetisnull(result, r, c)) {
        row[static_cast<std::size_t>(c)].emplace(
            libpq().PQgetvalue(result, r, c),
            static_cast<std::size_t>(libpq().PQgetlength(result, r, c)));
      }
    }
  }

  std::vector<Row> run(const std::string& sql, const Values& params) {
    std::vector<const char*> values;
    for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
    const std::string text = numbered(sql);
    Result result(libpq().PQexecParams(conn_, text.c_str(), static_cast<int>(values.size()),
                                       nullptr, values.data(), nullptr, nullptr, 0));
    const ExecStatusType status =
        result ? libpq().PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      const char* state =
          result ? libpq().PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
      const std::string sqlstate = state ? state : "";
      // An integrity rule (a badge or a number taken): the request's, not the server's.
      if (sqlstate.starts_with("23")) throw records::RecordRefused(failure());
      throw records::StoreError(failure());
    }
    std::vector<Row> rows;
    const int count = libpq().PQntuples(result.get());
    rows.resize(static_cast<std::size_t>(count));
    for (int r = 0; r < count; ++r) fill(result.get(), r, rows[static_cast<std::size_t>(r)]);
    return rows;
  }

  std::string where_;
  pg_conn* conn_ = nullptr;
};

}  // namespace

std::unique_ptr<Database> open_postgres_database(const std::string& url, Access access) {
  return std::make_unique<PostgresDatabase>(url, access);
}

}  // namespace people
