#include "sqlite/connection.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace sqlite {

namespace {

// Tries for the lock in each millisecond of the timeout (Wait::kPolling).
constexpr int kTriesPerMs = 5;
// Waits between tries to turn on WAL while another connection makes the file.
constexpr int kWalRetryMs = 10;

// The number of tries rides in the handler's own argument, so that the
// handler needs nothing that could move or end before the connection.
int poll_for_lock(void* tries_allowed, int tries) {
  if (tries >= static_cast<int>(reinterpret_cast<std::intptr_t>(tries_allowed))) return 0;
  std::this_thread::sleep_for(std::chrono::microseconds(1000 / kTriesPerMs));
  return 1;
}

int flags_of(Mode mode) {
  switch (mode) {
    case Mode::kReadWriteCreate:
      return SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    case Mode::kReadWrite:
      return SQLITE_OPEN_READWRITE;
    case Mode::kReadOnly:
      break;
  }
  return SQLITE_OPEN_READONLY;
}

}  // namespace

Database open(const std::string& path, Mode mode, Busy busy) {
  Database db(path, flags_of(mode) | SQLITE_OPEN_NOMUTEX);
  if (busy.wait == Wait::kBackingOff) {
    db.setBusyTimeout(busy.timeout_ms);
  } else {
    const std::intptr_t tries = static_cast<std::intptr_t>(busy.timeout_ms) * kTriesPerMs;
    sqlite3_busy_handler(db.getHandle(), poll_for_lock, reinterpret_cast<void*>(tries));
  }
  return db;
}

void turn_on_wal(Database& db, int timeout_ms) {
  for (int waited_ms = 0;; waited_ms += kWalRetryMs) {
    const int rc = db.tryExec("PRAGMA journal_mode=WAL");
    if (rc == SQLITE_OK) return;
    if ((rc & 0xFF) != SQLITE_BUSY || waited_ms >= timeout_ms) throw Error(db.getHandle(), rc);
    sqlite3_sleep(kWalRetryMs);
  }
}

void leave_wal_at_close(Database& db) {
  sqlite3_db_config(db.getHandle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

void fold_wal_now(Database& db) {
  sqlite3_busy_timeout(db.getHandle(), 0);
  sqlite3_wal_checkpoint_v2(db.getHandle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
}

bool read_only(const Database& db) {
  return sqlite3_db_readonly(db.getHandle(), "main") != 0;
}

bool refused_for_values(const Error& error) {
  const int code = error.getErrorCode() & 0xFF;
  return code == SQLITE_CONSTRAINT || code == SQLITE_TOOBIG || code == SQLITE_MISMATCH;
}

}  // namespace sqlite
