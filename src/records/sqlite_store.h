// Records in a SQLite file: the station's default, and the outbox that keeps
// records while a records server cannot be reached.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_status.h"
#include "records/store.h"
#include "sqlite/connection.h"
#include "sqlite/transaction.h"

namespace records {

// How long a writer waits for another process (a station's grid writes the
// same file) before it gives up on a locked file.
constexpr int kDefaultBusyTimeoutMs = 5000;

// The WAL a writer's close folds back into the file once it is longer: a
// dozen runs' records, which a process opening the file reads in well under
// a millisecond.
constexpr std::uintmax_t kFoldWalBytes = 256 * 1024;

class SqliteStore final : public Store {
 public:
  // Opens (for writing: creates and upgrades) the file at path; throws
  // StoreError with the file's name and the reason.
  SqliteStore(const std::string& path, OpenFor purpose,
              int busy_timeout_ms = kDefaultBusyTimeoutMs);
  ~SqliteStore() override;
  SqliteStore(const SqliteStore&) = delete;
  SqliteStore& operator=(const SqliteStore&) = delete;

  void append(std::span<const RunRecord> records) override;
  void set_flush_each_commit(bool flush) override;
  // Opened for writing, and the file at the path is still the one opened:
  // one moved away or replaced meanwhile would take a record where no one
  // looks for it.
  bool still_usable() const override;
  // The file at the path gone, another file there, or the file shorter than
  // it was: SQLite's files only shrink by VACUUM, which no station runs.
  std::string changed_at_location() override;
  std::vector<Row> query(const std::string& sql, const std::vector<std::string>& params) override;
  void for_each_row(const std::string& sql, const std::vector<std::string>& params,
                    const std::function<void(const Row&)>& take) override;
  // The same file opened again for reading; null when it cannot be.
  std::unique_ptr<Store> open_reader() const override;

  // Every record in the file, oldest first (the outbox sends them all).
  std::vector<RunRecord> all_records();
  // Removes, in one transaction, each record whose copy here is the one
  // that was sent or an older one. Another port of the station may have kept
  // a later copy of the same run here since it was read: that one has not
  // been sent, and stays.
  void remove(const std::vector<RunRecord>& sent);

  // For an outbox: moves `record` out of "runs" into the table "set_aside"
  // of this file (made when first needed), with the reason the store gave,
  // unless a later copy of it has been kept here since (that one is tried
  // in its turn: false). A record a store refused for what it holds waits
  // there, counted and reported, instead of being sent again before every
  // record.
  bool set_aside(const RunRecord& record, const std::string& reason);
  // The records in "runs" (waiting to be sent) and in "set_aside".
  long waiting_count();
  long set_aside_count();

 private:
  void execute(const std::string& sql);
  [[noreturn]] void fail(const std::string& what, const sqlite::Error& error);
  int schema_version();
  void upgrade();
  sqlite::WriteTransaction begin();
  void commit(sqlite::WriteTransaction& transaction);
  void flush_wal();

  std::string path_;
  int busy_timeout_ms_;
  bool writing_ = false;
  // Whether the WAL file's own name is known to be on disk: it was there
  // before this connection, or its folder has been synced since.
  bool wal_named_on_disk_ = false;
  // The opened file, as the file system knows it (device, inode).
  std::optional<platform::FileIdentity> identity_;
  // Its size when last looked at, for a reader: a file cut short under it.
  std::uint64_t size_seen_ = 0;
  // Whether a commit returns only once it is on disk (see commit()).
  bool flush_each_commit_ = true;
  // Opened after the members above, which say what the file was before.
  sqlite::Database db_;
};

}  // namespace records
