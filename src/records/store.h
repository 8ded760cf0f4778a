// Where run records are kept: a SQLite file on the station or a PostgreSQL
// database for a whole factory, behind one small interface.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "records/run_record.h"

namespace records {

// A store that cannot be opened, read or written; what() says why in words
// an operator can act on.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A store that is there and working but refuses a record for what it holds
// (text it cannot take, a value outside the table's rules): sending it again
// cannot help, and it must not hold back the records after it.
class RecordRefused : public StoreError {
 public:
  using StoreError::StoreError;
};

// One result row, every value as text (NULL as nullopt).
using Row = std::vector<std::optional<std::string>>;

class Store {
 public:
  virtual ~Store() = default;
  // Appends the records in one transaction: all of them or none. A record
  // whose uid is already stored is left as it is (a record sent twice).
  virtual void append(std::span<const RunRecord> records) = 0;
  // Whether each commit waits until it is on disk (the default). A copy of a
  // record that a run's journal also holds may skip the wait: it survives
  // the process dying, and a power cut costs only the copy, which the journal
  // gives back at the next run. A store that cannot tell keeps waiting.
  virtual void set_flush_each_commit(bool /*flush*/) {}
  // Whether this connection may take a later record too (RecordKeeper): a
  // file still the one at its path; a server connection not yet seen to
  // drop (RecordKeeper opens it again once when a record fails on it).
  virtual bool still_usable() const { return false; }
  // Why this connection no longer reads the store that is at its location
  // now: the file at the path deleted, replaced by another or truncated; the
  // database, or its runs table, dropped and made again or emptied. "" while
  // it still does. A reader that stays open (the board) asks before it
  // trusts what it reads: the old file would go on answering, and runs
  // recorded into the new one would never show. May throw StoreError.
  virtual std::string changed_at_location() { return ""; }
  // The ids of the runs whose copies were committed since the last call,
  // where the store can tell (a PostgreSQL server, whose writers tell it);
  // empty where it cannot. A reader that reads new runs by their ids needs
  // it: a server takes ids in one order and may commit them in another, so a
  // run can appear below ids already read. May throw StoreError.
  virtual std::vector<std::int64_t> committed_ids() { return {}; }
  // A read-only query whose parameters are written "?", all bound as text.
  virtual std::vector<Row> query(const std::string& sql,
                                 const std::vector<std::string>& params) = 0;
  // The same, handing each row to `take` as it is read: a store that can
  // reads a large result without holding it whole. The row is only valid
  // during the call.
  virtual void for_each_row(const std::string& sql, const std::vector<std::string>& params,
                            const std::function<void(const Row&)>& take) {
    for (const Row& row : query(sql, params)) take(row);
  }
  // A second connection for reading, to be used from another thread while
  // this one reads too; null where the store gives none (then one
  // connection reads it all, in turn). Its snapshot may be a later one.
  virtual std::unique_ptr<Store> open_reader() const { return nullptr; }
};

enum class OpenFor { kWriting, kReading };

// "postgresql://..." or "postgres://..." is a PostgreSQL database; anything
// else is the path of a SQLite file.
bool is_postgres_url(const std::string& location);

// Opens the store at `location`. For writing, a store without the records
// table gets it and an older schema is upgraded in place; a newer schema is
// refused. For reading nothing is created or changed.
std::unique_ptr<Store> open_store(const std::string& location, OpenFor purpose);

}  // namespace records
