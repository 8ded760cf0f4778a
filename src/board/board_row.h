// One run as the board reads it: a record without its log, plus whether it
// was its unit's first attempt. Read as little as the board shows, since a
// factory's store holds millions of runs with their logs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "records/store.h"

namespace board {

struct BoardRow {
  std::int64_t id = 0;
  std::string uid;
  std::int64_t started_at_ms = 0;
  std::int64_t ended_at_ms = 0;
  std::string station;
  int port = 0;
  std::string device;
  std::string customer;
  std::string script;
  std::string ma_no;
  std::optional<std::string> imei;
  std::string outcome;  // "running", "green", "red", "no run", "interrupted"
  std::optional<long> failed_line;
  std::optional<std::string> failed_text;
  std::optional<long> failed_status;
  std::optional<std::string> imei_fate;
  std::string tool_version;
  std::int64_t revision = 0;
  // Who and which unit; null in a store written before the records knew them.
  std::optional<std::string> unit_serial;
  std::optional<std::string> operator_id;
  std::optional<long> attempt;
  std::optional<std::string> fixture;
  // The run was its unit's first (a unit is its serial, else its IMEI, else
  // the run itself). Filled by fill_first_attempts for the runs that need it.
  bool first_attempt = true;

  bool ended() const { return outcome != "running"; }
};

// Reads runs from one store, knowing which columns its schema version has.
class RowReader {
 public:
  // Reads the schema version; throws records::StoreError.
  explicit RowReader(records::Store& store);

  // Runs with an id above `after`, in id order, at most `limit`.
  std::vector<BoardRow> after_id(std::int64_t after, int limit);
  // The runs of these ids (any order).
  std::vector<BoardRow> by_ids(const std::vector<std::int64_t>& ids);
  // Runs started at or after `since_ms` (all when nullopt), newest first, at most `limit`.
  std::vector<BoardRow> newest(std::optional<std::int64_t> since_ms, int limit);
  // Interrupted runs whose IMEI is still pending, oldest first.
  std::vector<BoardRow> pending_imeis();
  // Runs started at or after `since_ms`, any order.
  std::vector<BoardRow> started_since(std::int64_t since_ms);
  // Every station and port that has a run. Needs the index of a port's runs.
  std::vector<std::pair<std::string, int>> ports();
  // The newest `limit` runs of one port, newest first. Needs the same index.
  std::vector<BoardRow> port_runs(const std::string& station, int port, int limit);
  // Whether the store has the index of a port's runs (a store from before
  // the unit columns has not: the board then reads the whole table once).
  bool has_port_index() const;
  // Decides first_attempt for each run: its recorded attempt when the store
  // has one, else whether an earlier run had the same IMEI, else true.
  void fill_first_attempts(std::vector<BoardRow>& rows);

  int schema_version() const { return version_; }
  std::int64_t max_id();

 private:
  std::vector<BoardRow> rows(const std::string& where_and_order,
                             const std::vector<std::string>& params);
  records::Store& store_;
  int version_ = 0;
  std::string columns_;
};

}  // namespace board
