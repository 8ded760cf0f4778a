// A file's tables brought to the version this program writes, once, by
// whichever writer first finds them behind.
#pragma once

#include <functional>

#include "sqlite/connection.h"

namespace sqlite {

// The file's own version number (PRAGMA user_version), 0 for a new file.
int user_version(Database& db);

// When `version()` is not `target`: in one write transaction, reads the
// version again (another writer may have upgraded meanwhile) and runs
// `steps(from)`, which writes what takes the file from there to `target`,
// and its new version, or throws to leave the file as it was (one a newer
// program wrote). The usual case, a file up to date, takes no lock at all.
// True when it committed an upgrade.
bool upgrade(Database& db, int target, const std::function<int()>& version,
             const std::function<void(int from)>& steps);

}  // namespace sqlite
