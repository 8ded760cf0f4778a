// The station's SQLite files as every room opens them (the records, their
// outbox, the CFX queue): a SQLiteCpp connection, with how it waits for a
// lock another process holds, and write-ahead logging turned on even while
// the ports of a station make a new file at the same moment.
#pragma once

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>

#include <string>

namespace sqlite {

using Database = SQLite::Database;
// What a failing call throws: what() is SQLite's own word for it ("database
// is locked"), getErrorCode() its result code.
using Error = SQLite::Exception;

enum class Mode { kReadWriteCreate, kReadWrite, kReadOnly };

// How a connection waits for a lock that another connection holds, up to
// timeout_ms before it gives up with "database is locked".
enum class Wait {
  // SQLite's own wait: naps that grow to 25 and 50 ms.
  kBackingOff,
  // A try every fifth of a millisecond: for files whose ports write at the
  // same moments and hold the lock well under a millisecond, which the
  // growing naps would drift apart.
  kPolling,
};

struct Busy {
  int timeout_ms = 0;
  Wait wait = Wait::kBackingOff;
};

// Opens the file at `path` for one thread; throws Error when SQLite cannot.
Database open(const std::string& path, Mode mode, Busy busy);

// Turns the file to write-ahead logging, so that readers never block a
// writer and the processes of a station write it side by side. On a new file
// this takes an exclusive lock for which the busy wait is not called:
// processes making the file at once wait for one another here, up to
// timeout_ms, instead of one giving up. Throws Error otherwise.
void turn_on_wal(Database& db, int timeout_ms);

// A close leaves the WAL for the next connection instead of folding it into
// the file, which would cost a sync of the file at every close.
void leave_wal_at_close(Database& db);

// Folds the WAL into the file and cuts it to nothing, now, without waiting
// for a reader that holds it (a later close folds it then).
void fold_wal_now(Database& db);

// Whether the file could be opened for reading only (another user's, a file
// system mounted read-only).
bool read_only(const Database& db);

// Whether SQLite refused what was written rather than the file failing: a
// rule of the table (a CHECK, NOT NULL), a value too big or of the wrong type.
bool refused_for_values(const Error& error);

}  // namespace sqlite
