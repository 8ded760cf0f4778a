#include "sqlite/schema_upgrade.h"

#include "sqlite/transaction.h"

namespace sqlite {

int user_version(Database& db) {
  return db.execAndGet("PRAGMA user_version").getInt();
}

bool upgrade(Database& db, int target, const std::function<int()>& version,
             const std::function<void(int from)>& steps) {
  if (version() == target) return false;
  WriteTransaction transaction(db);
  const int from = version();
  if (from == target) return false;
  steps(from);
  transaction.commit();
  return true;
}

}  // namespace sqlite
