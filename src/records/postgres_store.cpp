#include "records/postgres_store.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <string_view>

#include "records/libpq_api.h"
#include "records/location.h"
#include "records/schema.h"

namespace records {

namespace {

// Any number, the same in every station: it serialises the schema upgrade.
constexpr long long kUpgradeLockKey = 0x6666736C6F6164;  // "ffsload"

// Every committed copy of a run is told on this channel, with its id, to
// whoever listens (the board): the server takes ids as copies are written
// and commits them in any order, so a reader that followed the ids alone
// would miss a run committed late below ids it had already read. The
// trigger is not part of the table's schema version: stations of an older
// ffsload go on writing beside it.
constexpr const char* kCommittedChannel = "ffsload_runs";
constexpr const char* kTellReaders[] = {
    "CREATE OR REPLACE FUNCTION ffsload_runs_committed() RETURNS trigger LANGUAGE plpgsql AS "
    "$$ BEGIN PERFORM pg_notify('ffsload_runs', NEW.id::text); RETURN NULL; END $$",
    "CREATE TRIGGER ffsload_runs_committed AFTER INSERT OR UPDATE ON runs FOR EACH ROW "
    "EXECUTE FUNCTION ffsload_runs_committed()",
};

}  // namespace

bool parse_postgres_url(const std::string& url, bool* has_password, std::string* error) {
  char* message = nullptr;
  PQconninfoOption* options = libpq().PQconninfoParse(url.c_str(), &message);
  if (!options) {
    *error = message ? trimmed(message) : "cannot be parsed";
    libpq().PQfreemem(message);
    return false;
  }
  *has_password = false;
  for (PQconninfoOption* o = options; o->keyword; ++o) {
    if (std::string(o->keyword) == "password" && o->val && *o->val) *has_password = true;
  }
  libpq().PQconninfoFree(options);
  return true;
}

PGconn* connect_to_server(const std::string& url, std::string* where) {
  bool has_password = false;
  std::string error;
  if (!parse_postgres_url(url, &has_password, &error)) {
    // The library quotes the part it cannot read, which may be the password.
    throw StoreError("records database URL " + shown_location(url) +
                     " is malformed: " + without_password(error, url));
  }
  // Keywords before "dbname" are defaults that the URL's own settings override.
  const std::string timeout = std::to_string(kConnectTimeoutSeconds);
  std::vector<const char*> keys{"fallback_application_name"};
  std::vector<const char*> values{"ffsload"};
  if (!std::getenv("PGCONNECT_TIMEOUT")) {
    keys.push_back("connect_timeout");
    values.push_back(timeout.c_str());
  }
  keys.push_back("dbname");
  values.push_back(url.c_str());
  keys.push_back(nullptr);
  values.push_back(nullptr);
  PGconn* conn = libpq().PQconnectdbParams(keys.data(), values.data(), 1);
  const char* host = conn ? libpq().PQhost(conn) : nullptr;
  const char* port = conn ? libpq().PQport(conn) : nullptr;
  const char* db = conn ? libpq().PQdb(conn) : nullptr;
  *where = std::string("records database ") + (db ? db : "?") + " on " +
           (host && *host ? host : "the local server") +
           (port && *port ? std::string(":") + port : "");
  if (!conn || libpq().PQstatus(conn) != CONNECTION_OK) {
    const std::string why =
        conn ? without_password(trimmed(libpq().PQerrorMessage(conn)), url) : "out of memory";
    libpq().PQfinish(conn);
    throw StoreError(*where + " cannot be reached: " + why);
  }
  return conn;
}

PostgresStore::PostgresStore(const std::string& url, OpenFor purpose) {
  conn_ = connect_to_server(url, &where_);
  try {
    if (purpose == OpenFor::kWriting) {
      upgrade();
    } else {
      const int version = schema_version();
      if (version == 0) throw StoreError(where_ + " holds no run records");
      identity_ = identity();
      if (version > kSchemaVersion) {
        throw StoreError(where_ + " has records schema " + std::to_string(version) +
                         ", newer than this ffsload knows (" + std::to_string(kSchemaVersion) +
                         ")");
      }
      // Before the reader's first read, so that nothing committed after it
      // goes untold.
      execute(std::string("LISTEN ") + kCommittedChannel);
    }
  } catch (...) {
    libpq().PQfinish(conn_);
    conn_ = nullptr;
    throw;
  }
}

std::string PostgresStore::identity() {
  const auto rows =
      run("SELECT d.oid::text || '/' || pg_relation_filenode('runs')::text FROM pg_database d "
          "WHERE d.datname = current_database()",
          {});
  return rows.empty() ? "" : rows[0][0].value_or("");
}

std::string PostgresStore::changed_at_location() {
  if (identity_.empty() || identity() == identity_) return "";
  return where_ + ": its runs were emptied, or the database or its runs table made again";
}

bool PostgresStore::still_usable() const {
  return conn_ && libpq().PQstatus(conn_) == CONNECTION_OK;
}

std::vector<std::int64_t> PostgresStore::committed_ids() {
  std::vector<std::int64_t> ids;
  if (!libpq().PQconsumeInput(conn_)) {
    throw StoreError(where_ + ": " + trimmed(libpq().PQerrorMessage(conn_)));
  }
  while (PGnotify* told = libpq().PQnotifies(conn_)) {
    if (told->relname && std::string_view(told->relname) == kCommittedChannel && told->extra) {
      char* end = nullptr;
      const long long id = std::strtoll(told->extra, &end, 10);
      if (end != told->extra && *end == '\0') ids.push_back(id);
    }
    libpq().PQfreemem(told);
  }
  return ids;
}

PostgresStore::~PostgresStore() {
  libpq().PQfinish(conn_);
}

std::vector<Row> PostgresStore::run(const std::string& sql,
                                    const std::vector<std::optional<std::string>>& params) {
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
  Result result(libpq().PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                     values.data(), nullptr, nullptr, 0));
  const ExecStatusType status = result ? libpq().PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    const std::string why = where_ + ": " + trimmed(libpq().PQerrorMessage(conn_));
    // Data exceptions (22: bad encoding, a value too long), integrity rules
    // (23) and program limits (54) are the record's; anything else is the
    // server's or the connection's.
    const char* state =
        result ? libpq().PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
    const std::string sqlstate = state ? state : "";
    if (libpq().PQstatus(conn_) == CONNECTION_OK &&
        (sqlstate.starts_with("22") || sqlstate.starts_with("23") || sqlstate.starts_with("54"))) {
      throw RecordRefused(why);
    }
    throw StoreError(why);
  }
  std::vector<Row> rows;
  const int count = libpq().PQntuples(result.get());
  const int columns = libpq().PQnfields(result.get());
  for (int r = 0; r < count; ++r) {
    Row row;
    for (int c = 0; c < columns; ++c) {
      if (libpq().PQgetisnull(result.get(), r, c)) {
        row.emplace_back(std::nullopt);
      } else {
        row.emplace_back(
            std::string(libpq().PQgetvalue(result.get(), r, c),
                        static_cast<std::size_t>(libpq().PQgetlength(result.get(), r, c))));
      }
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

void PostgresStore::execute(const std::string& sql) {
  run(sql, {});
}

int PostgresStore::schema_version() {
  auto rows = run("SELECT to_regclass($1) IS NOT NULL", {std::string(kVersionTable)});
  if (rows.empty() || rows[0][0] != "t") return 0;
  rows = run(std::string("SELECT max(version) FROM ") + kVersionTable, {});
  return rows.empty() || !rows[0][0] ? 0 : std::stoi(*rows[0][0]);
}

// The trigger is missing and this connection's role may make it. A role
// that may not (a writer that owns neither the table nor a schema to make
// the function in) is not asked to at every record.
bool PostgresStore::readers_untold() {
  const auto rows = run(
      "SELECT NOT EXISTS (SELECT 1 FROM pg_trigger WHERE tgrelid = 'runs'::regclass AND tgname = "
      "'ffsload_runs_committed') AND has_table_privilege('runs', 'TRIGGER') AND "
      "has_schema_privilege(current_schema(), 'CREATE')",
      {});
  return !rows.empty() && rows[0][0] == "t";
}

void PostgresStore::upgrade() {
  if (schema_version() == kSchemaVersion && !readers_untold()) return;
  // Stations that meet an old or empty database upgrade it one at a time.
  // The lock is taken before the transaction begins, not inside it: a
  // transaction that began before another station's upgrade committed may
  // still see the tables as missing after waiting for the lock (the
  // server's catalog cache is refreshed when a transaction starts), and
  // would then create them again ("relation already exists").
  const std::string key = std::to_string(kUpgradeLockKey);
  execute("SELECT pg_advisory_lock(" + key + ")");
  try {
    upgrade_locked();
  } catch (...) {
    libpq().PQclear(libpq().PQexec(conn_, ("SELECT pg_advisory_unlock(" + key + ")").c_str()));
    throw;
  }
  execute("SELECT pg_advisory_unlock(" + key + ")");
}

void PostgresStore::upgrade_locked() {
  execute("BEGIN");
  try {
    upgrade_schema(Dialect::kPostgres, schema_version(), where_,
                   [this](const std::string& sql) { execute(sql); });
    execute("COMMIT");
  } catch (...) {
    libpq().PQclear(libpq().PQexec(conn_, "ROLLBACK"));
    throw;
  }
  // On its own: a writer that may not make triggers (a role that owns no
  // table) still records; readers then follow the ids alone, as before.
  execute("BEGIN");
  try {
    if (readers_untold()) {
      for (const char* sql : kTellReaders) execute(sql);
    }
    execute("COMMIT");
  } catch (const StoreError&) {
    libpq().PQclear(libpq().PQexec(conn_, "ROLLBACK"));
  }
}

void PostgresStore::append(std::span<const RunRecord> records) {
  execute("BEGIN");
  try {
    const std::string insert = insert_statement(Dialect::kPostgres);
    for (const RunRecord& record : records) run(insert, record_values(record));
    execute("COMMIT");
  } catch (...) {
    libpq().PQclear(libpq().PQexec(conn_, "ROLLBACK"));
    throw;
  }
}

std::vector<Row> PostgresStore::query(const std::string& sql,
                                      const std::vector<std::string>& params) {
  std::vector<std::optional<std::string>> values(params.begin(), params.end());
  return run(numbered(sql), values);
}

void PostgresStore::for_each_row(const std::string& sql, const std::vector<std::string>& params,
                                 const std::function<void(const Row&)>& take) {
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const std::string& p : params) values.push_back(p.c_str());
  const std::string text = numbered(sql);
  const auto failure = [this] {
    std::string why = where_;
    why += ": ";
    why += trimmed(libpq().PQerrorMessage(conn_));
    return why;
  };
  // Row by row as the server sends them, so that a large result is never
  // held whole by the client library.
  if (!libpq().PQsendQueryParams(conn_, text.c_str(), static_cast<int>(values.size()), nullptr,
                                 values.data(), nullptr, nullptr, 0) ||
      !libpq().PQsetSingleRowMode(conn_)) {
    Result drained(libpq().PQgetResult(conn_));
    while (drained) drained.reset(libpq().PQgetResult(conn_));
    throw StoreError(failure());
  }
  std::string error;
  std::exception_ptr caught;
  Row row;
  // Every result is read to the end, also after an error or a row the
  // caller refused, so that the connection is ready for the next query.
  for (Result result(libpq().PQgetResult(conn_)); result;
       result.reset(libpq().PQgetResult(conn_))) {
    const ExecStatusType status = libpq().PQresultStatus(result.get());
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) continue;
    if (status != PGRES_SINGLE_TUPLE) {
      if (error.empty()) error = failure();
      continue;
    }
    if (!error.empty() || caught) continue;
    const int columns = libpq().PQnfields(result.get());
    row.assign(static_cast<std::size_t>(columns), std::nullopt);
    for (int c = 0; c < columns; ++c) {
      if (!libpq().PQgetisnull(result.get(), 0, c)) {
        row[static_cast<std::size_t>(c)].emplace(
            libpq().PQgetvalue(result.get(), 0, c),
            static_cast<std::size_t>(libpq().PQgetlength(result.get(), 0, c)));
      }
    }
    try {
      take(row);
    } catch (...) {
      caught = std::current_exception();
    }
  }
  if (caught) std::rethrow_exception(caught);
  if (!error.empty()) throw StoreError(error);
}

}  // namespace records
