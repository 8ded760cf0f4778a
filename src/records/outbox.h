// Keeping a run's record whatever happens to its store: a store that cannot
// take it (a server away, a locked or broken file) leaves it in a local
// SQLite outbox, and the next record that reaches the store sends what the
// outbox kept first, one record at a time. A record that the store refuses
// for what it holds is set aside in the outbox (kept, counted, reported),
// never holding back the records after it.
#pragma once

#include <memory>
#include <string>

#include "records/run_record.h"
#include "records/sqlite_store.h"

namespace records {

struct KeepResult {
  bool stored = false;        // the store has it
  bool kept_locally = false;  // the outbox has it, to be sent later
  int forwarded = 0;          // records from the outbox that the store took now
  int set_aside = 0;          // records the store refused for their content, set aside now
  std::string refusal;        // why the store refused the last one set aside
  std::string error;          // why the store did not take it
  std::string outbox_error;   // why the outbox could not take it or give back
};

// How far a record must be on disk when keep_record returns.
enum class Durability {
  kFlushed,     // on disk: the record is the only copy there is
  kJournalled,  // written; the run's journal holds it until the run's last copy
};

// Adds `record` to the store at `location`, or else to the outbox file. Text
// that is not UTF-8 is read as Latin-1 first (with_utf8_text). A location that is
// the outbox file itself is refused (location_problem) and the record kept.
// The outbox is always flushed: what waits there has no other copy.
KeepResult keep_record(const std::string& location, const std::string& outbox_path,
                       const RunRecord& record, int busy_timeout_ms = kDefaultBusyTimeoutMs,
                       Durability durability = Durability::kFlushed);

// The records of one run through one connection: the store is opened for
// the run's first copy and kept for the copies after it while it is still
// the store at the location (Store::still_usable), so that the run's last
// record, written as every port of a station ends, costs no opening of the
// store, and a line's database serves one connection per running port. A
// connection that failed is dropped; one that was kept and fails is opened
// again once before the record goes to the outbox. close() after the last
// copy.
class RecordKeeper {
 public:
  KeepResult keep(const std::string& location, const std::string& outbox_path,
                  const RunRecord& record, int busy_timeout_ms = kDefaultBusyTimeoutMs,
                  Durability durability = Durability::kFlushed);
  void close();

 private:
  // One try at the store: true when it took the record; `refused` when it
  // works but refused this record for what it holds.
  bool send(const std::string& location, const std::string& outbox_path, const RunRecord& record,
            int busy_timeout_ms, Durability durability, KeepResult& result, bool& refused);
  KeepResult keep_locally(const std::string& outbox_path, const RunRecord& record,
                          int busy_timeout_ms, KeepResult& result, bool refused);

  std::unique_ptr<Store> store_;
  std::string location_;
};

// Sends what the outbox at `outbox_path` kept to `store`, oldest first, each
// record on its own so that one the store refuses stops nothing; what the
// store took leaves the outbox. False when the store stopped taking records
// (result.error says why): the rest waits for the next time. keep() does
// this before each record it stores.
bool forward_kept(Store& store, const std::string& outbox_path, int busy_timeout_ms,
                  KeepResult& result);

// Moves the records waiting in the outbox file `from` into
// the outbox `into` and removes `from`: an outbox that an older ffsload left
// in a port's folder joins the station's. False with *error when it cannot.
bool merge_outbox(const std::string& from, const std::string& into, std::string* error);

}  // namespace records
