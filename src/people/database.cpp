#include "people/database.h"

namespace people {

std::unique_ptr<Database> open_database(const std::string& location, Access access) {
  if (location.empty()) throw records::StoreError("no records location given");
  if (records::is_postgres_url(location)) return open_postgres_database(location, access);
  return open_sqlite_database(location, access);
}

}  // namespace people
