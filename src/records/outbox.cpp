#include "records/outbox.h"

#include <filesystem>
#include <memory>
#include <vector>

#include "records/postgres_store.h"
#include "records/store.h"

namespace records {

namespace {

std::unique_ptr<Store> open_for_writing(const std::string& location, int busy_timeout_ms) {
  if (is_postgres_url(location))
    return std::make_unique<PostgresStore>(location, OpenFor::kWriting);
  return std::make_unique<SqliteStore>(location, OpenFor::kWriting, busy_timeout_ms);
}

}  // namespace

KeepResult keep_record(const std::string& location, const std::string& outbox_path,
                       const RunRecord& record, int busy_timeout_ms) {
  KeepResult result;
  std::unique_ptr<Store> store;
  try {
    store = open_for_writing(location, busy_timeout_ms);
  } catch (const StoreError& e) {
    result.error = e.what();
  }

  if (store) {
    // What the outbox kept goes first, so that ids follow the runs' order.
    std::unique_ptr<SqliteStore> outbox;
    std::vector<RunRecord> batch;
    std::error_code ignored;
    if (std::filesystem::exists(outbox_path, ignored)) {
      try {
        outbox = std::make_unique<SqliteStore>(outbox_path, OpenFor::kWriting, busy_timeout_ms);
        batch = outbox->all_records();
      } catch (const StoreError& e) {
        result.outbox_error = e.what();
        outbox.reset();
        batch.clear();
      }
    }
    const std::size_t kept = batch.size();
    batch.push_back(record);
    try {
      store->append(batch);
      result.stored = true;
      result.forwarded = static_cast<int>(kept);
    } catch (const StoreError& e) {
      result.error = e.what();
    }
    if (result.stored && outbox && kept > 0) {
      // Removed only after the store committed them; a crash in between sends
      // them again next time, and the store skips uids it holds.
      std::vector<std::string> uids;
      for (std::size_t i = 0; i < kept; ++i) uids.push_back(batch[i].uid);
      try {
        outbox->remove(uids);
      } catch (const StoreError& e) {
        result.outbox_error = e.what();
      }
    }
    if (result.stored) return result;
  }

  try {
    SqliteStore outbox(outbox_path, OpenFor::kWriting, busy_timeout_ms);
    outbox.append(std::span<const RunRecord>(&record, 1));
    result.kept_locally = true;
  } catch (const StoreError& e) {
    result.outbox_error = e.what();
  }
  return result;
}

}  // namespace records
