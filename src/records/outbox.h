// Keeping a run's record whatever happens to its store: a store that cannot
// take it (a server away, a locked or broken file) leaves it in a local
// SQLite outbox, and the next record that reaches the store takes everything
// the outbox kept along, in the same transaction.
#pragma once

#include <string>

#include "records/run_record.h"
#include "records/sqlite_store.h"

namespace records {

struct KeepResult {
  bool stored = false;        // the store has it
  bool kept_locally = false;  // the outbox has it, to be sent later
  int forwarded = 0;          // records from the outbox that the store took now
  std::string error;          // why the store did not take it
  std::string outbox_error;   // why the outbox could not take it or give back
};

// Adds `record` to the store at `location`, or else to the outbox file.
KeepResult keep_record(const std::string& location, const std::string& outbox_path,
                       const RunRecord& record, int busy_timeout_ms = kDefaultBusyTimeoutMs);

}  // namespace records
