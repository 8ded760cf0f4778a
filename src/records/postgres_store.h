// Records in a PostgreSQL database, for a line that outgrows one PC. The
// connection takes the client library's own conventions: ~/.pgpass or
// PGPASSFILE for passwords, pg_service.conf, PGHOST, PGUSER, ...
#pragma once

#include <string>
#include <vector>

#include "records/store.h"

struct pg_conn;

namespace records {

// A server that does not answer within this many seconds is taken as away,
// so that a station waits no longer for it (unless the URL or
// PGCONNECT_TIMEOUT says otherwise).
constexpr int kConnectTimeoutSeconds = 3;

class PostgresStore final : public Store {
 public:
  // Connects (for writing: creates or upgrades the table); throws StoreError
  // naming the server and the reason, never the password.
  PostgresStore(const std::string& url, OpenFor purpose);
  ~PostgresStore() override;
  PostgresStore(const PostgresStore&) = delete;
  PostgresStore& operator=(const PostgresStore&) = delete;

  void append(std::span<const RunRecord> records) override;
  std::vector<Row> query(const std::string& sql, const std::vector<std::string>& params) override;
  void for_each_row(const std::string& sql, const std::vector<std::string>& params,
                    const std::function<void(const Row&)>& take) override;
  // The database made again (another oid), or its runs table made again or
  // emptied (TRUNCATE and DROP give the table new storage): ids start over,
  // and a reader that waits for ids above the ones it saw would see nothing.
  std::string changed_at_location() override;
  std::vector<std::int64_t> committed_ids() override;
  bool still_usable() const override;

 private:
  void execute(const std::string& sql);
  std::vector<Row> run(const std::string& sql,
                       const std::vector<std::optional<std::string>>& params);
  int schema_version();
  void upgrade();
  void upgrade_locked();
  bool readers_untold();

  std::string identity();

  std::string where_;     // the server, for messages
  std::string identity_;  // a reader's database and table when opened
  pg_conn* conn_ = nullptr;
};

// A URL's parts as the client library reads them; false with *error when it
// cannot be parsed. has_password tells whether the URL itself holds one.
// Connects to the server at `url` as every ffsload connection does (its
// name, a connect timeout unless PGCONNECT_TIMEOUT sets one); *where names
// the database and server for messages. Throws StoreError, never with the
// password, when the URL is malformed or the server cannot be reached.
pg_conn* connect_to_server(const std::string& url, std::string* where);

bool parse_postgres_url(const std::string& url, bool* has_password, std::string* error);

}  // namespace records
