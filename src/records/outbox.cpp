#include "records/outbox.h"

#include <filesystem>
#include <memory>
#include <vector>

#include "records/location.h"
#include "records/postgres_store.h"
#include "records/run_record.h"
#include "records/store.h"

namespace records {

namespace {

std::unique_ptr<Store> open_for_writing(const std::string& location, int busy_timeout_ms) {
  if (is_postgres_url(location))
    return std::make_unique<PostgresStore>(location, OpenFor::kWriting);
  return std::make_unique<SqliteStore>(location, OpenFor::kWriting, busy_timeout_ms);
}

void append_one(Store& store, const RunRecord& record) {
  store.append(std::span<const RunRecord>(&record, 1));
}

}  // namespace

bool forward_kept(Store& store, const std::string& outbox_path, int busy_timeout_ms,
                  KeepResult& result) {
  std::error_code ignored;
  if (!std::filesystem::exists(outbox_path, ignored)) return true;
  std::unique_ptr<SqliteStore> outbox;
  std::vector<RunRecord> kept;
  try {
    outbox = std::make_unique<SqliteStore>(outbox_path, OpenFor::kWriting, busy_timeout_ms);
    kept = outbox->all_records();
  } catch (const StoreError& e) {
    result.outbox_error = e.what();
    return true;  // this run's record may still go through
  }
  bool store_works = true;
  std::vector<RunRecord> sent;
  for (const RunRecord& record : kept) {
    try {
      append_one(store, with_utf8_text(record));
      sent.push_back(record);
    } catch (const RecordRefused& e) {
      try {
        if (outbox->set_aside(record, e.what())) {
          ++result.set_aside;
          result.refusal = e.what();
        }
      } catch (const StoreError& aside) {
        result.outbox_error = aside.what();
      }
    } catch (const StoreError& e) {
      result.error = e.what();
      store_works = false;
      break;
    }
  }
  // Removed only after the store committed them; a crash in between sends
  // them again next time, and the store skips uids it holds. Removed as the
  // copies that were sent: a later copy that another port kept here
  // meanwhile was not, and waits for the next time.
  try {
    if (!sent.empty()) outbox->remove(sent);
  } catch (const StoreError& e) {
    result.outbox_error = e.what();
  }
  result.forwarded += static_cast<int>(sent.size());
  return store_works;
}

KeepResult keep_record(const std::string& location, const std::string& outbox_path,
                       const RunRecord& record, int busy_timeout_ms, Durability durability) {
  RecordKeeper keeper;
  return keeper.keep(location, outbox_path, record, busy_timeout_ms, durability);
}

KeepResult RecordKeeper::keep(const std::string& location, const std::string& outbox_path,
                              const RunRecord& original, int busy_timeout_ms,
                              Durability durability) {
  const RunRecord record = with_utf8_text(original);
  KeepResult result;
  if (store_ && (location != location_ || !store_->still_usable())) close();
  if (std::string problem = location_problem(location, outbox_path); !problem.empty()) {
    close();
    result.error = problem;
  } else {
    // A server connection kept from the run's earlier copy that the server
    // dropped meanwhile (a restart, an idle limit) is no reason to leave the
    // record in the outbox: the store is opened again once. (A file that
    // failed fails again, after another busy wait.)
    const bool reused = store_ != nullptr && is_postgres_url(location);
    bool refused = false;
    if (send(location, outbox_path, record, busy_timeout_ms, durability, result, refused))
      return result;
    if (refused) return keep_locally(outbox_path, record, busy_timeout_ms, result, true);
    if (reused) {
      result.error.clear();
      if (send(location, outbox_path, record, busy_timeout_ms, durability, result, refused))
        return result;
      if (refused) return keep_locally(outbox_path, record, busy_timeout_ms, result, true);
    }
  }
  return keep_locally(outbox_path, record, busy_timeout_ms, result, false);
}

bool RecordKeeper::send(const std::string& location, const std::string& outbox_path,
                        const RunRecord& record, int busy_timeout_ms, Durability durability,
                        KeepResult& result, bool& refused) {
  if (!store_) {
    try {
      store_ = open_for_writing(location, busy_timeout_ms);
      location_ = location;
    } catch (const StoreError& e) {
      result.error = e.what();
      return false;
    }
  }
  // What the outbox kept goes first, so that ids follow the runs' order.
  if (forward_kept(*store_, outbox_path, busy_timeout_ms, result)) {
    try {
      // Only now: what came from the outbox is removed there once stored,
      // so it must be on disk first.
      store_->set_flush_each_commit(durability == Durability::kFlushed);
      append_one(*store_, record);
      result.stored = true;
      return true;
    } catch (const RecordRefused& e) {
      // The store works; only this record is refused.
      result.error = e.what();
      refused = true;
      return false;
    } catch (const StoreError& e) {
      result.error = e.what();
    }
  }
  // A connection that failed is not trusted with the next record.
  close();
  return false;
}

KeepResult RecordKeeper::keep_locally(const std::string& outbox_path, const RunRecord& record,
                                      int busy_timeout_ms, KeepResult& result, bool refused) {
  try {
    SqliteStore outbox(outbox_path, OpenFor::kWriting, busy_timeout_ms);
    append_one(outbox, record);
    result.kept_locally = true;
    if (refused && outbox.set_aside(record, result.error)) {
      ++result.set_aside;
      result.refusal = result.error;
    }
  } catch (const StoreError& e) {
    result.outbox_error = e.what();
  }
  return result;
}

void RecordKeeper::close() {
  store_.reset();
  location_.clear();
}

bool merge_outbox(const std::string& from, const std::string& into, std::string* error) {
  try {
    std::vector<RunRecord> waiting;
    {
      SqliteStore old(from, OpenFor::kWriting);
      waiting = old.all_records();
    }
    if (!waiting.empty()) {
      SqliteStore outbox(into, OpenFor::kWriting);
      outbox.append(waiting);  // a uid already there is skipped
    }
  } catch (const StoreError& e) {
    *error = e.what();
    return false;
  }
  std::error_code ec;
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(from + suffix, ec);
  if (ec) {
    *error = "cannot remove " + from + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace records
