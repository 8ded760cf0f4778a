#include "records/postgres_store.h"
#include "records/sqlite_store.h"
#include "records/store.h"

namespace records {

bool is_postgres_url(const std::string& location) {
  return location.starts_with("postgresql://") || location.starts_with("postgres://");
}

std::unique_ptr<Store> open_store(const std::string& location, OpenFor purpose) {
  if (location.empty()) throw StoreError("no records location given");
  if (is_postgres_url(location)) return std::make_unique<PostgresStore>(location, purpose);
  return std::make_unique<SqliteStore>(location, purpose);
}

}  // namespace records
