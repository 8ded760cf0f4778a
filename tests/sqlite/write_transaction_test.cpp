#include <gtest/gtest.h>

#include <stdexcept>

#include "sqlite/schema_upgrade.h"
#include "sqlite/transaction.h"
#include "support/temp_dir.h"

namespace {

sqlite::Database writer(int busy_timeout_ms = 0) {
  return sqlite::open("file.sqlite", sqlite::Mode::kReadWriteCreate, {busy_timeout_ms});
}

int rows(sqlite::Database& db) {
  return db.execAndGet("SELECT count(*) FROM t").getInt();
}

TEST(SqliteWriteTransaction, holds_the_write_lock_from_its_start_and_rolls_back_on_any_way_out) {
  testing_support::TempDir dir;
  auto db = writer();
  sqlite::turn_on_wal(db, 0);
  db.exec("CREATE TABLE t(x)");
  auto other = writer();
  try {
    sqlite::WriteTransaction transaction(db);
    // Taken at BEGIN, before any write: another writer waits at its start.
    EXPECT_THROW(sqlite::WriteTransaction{other}, sqlite::Error);
    db.exec("INSERT INTO t VALUES (1)");
    throw std::runtime_error("a step of ours failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(rows(other), 0);
  {
    sqlite::WriteTransaction transaction(db);
    db.exec("INSERT INTO t VALUES (2)");
    transaction.commit();
  }
  EXPECT_EQ(rows(other), 1);
}

TEST(SqliteSchemaUpgrade, runs_its_steps_once_from_the_version_read_under_the_lock) {
  testing_support::TempDir dir;
  auto db = writer();
  auto version = [&] { return sqlite::user_version(db); };
  std::vector<int> froms;
  auto steps = [&](int from) {
    froms.push_back(from);
    db.exec("CREATE TABLE t(x); PRAGMA user_version = 2");
  };
  EXPECT_TRUE(sqlite::upgrade(db, 2, version, steps));
  EXPECT_FALSE(sqlite::upgrade(db, 2, version, steps));
  EXPECT_EQ(froms, std::vector<int>{0});
  EXPECT_EQ(sqlite::user_version(db), 2);

  // Another writer upgraded between the first look and the lock: no steps.
  int looks = 0;
  EXPECT_FALSE(sqlite::upgrade(
      db, 3, [&] { return looks++ == 0 ? 2 : 3; }, steps));
  EXPECT_EQ(froms.size(), 1u);

  // A step that refuses (a file a newer program wrote) leaves it as it was.
  EXPECT_THROW(sqlite::upgrade(db, 3, version,
                               [&](int) {
                                 db.exec("DROP TABLE t; PRAGMA user_version = 3");
                                 throw std::runtime_error("newer than this program knows");
                               }),
               std::runtime_error);
  EXPECT_EQ(sqlite::user_version(db), 2);
  EXPECT_EQ(rows(db), 0);
}

}  // namespace
