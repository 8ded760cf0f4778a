// Runs for the board's tests: one port's run at a given minute of a day.
#pragma once

#include <memory>
#include <string>

#include "board/board_row.h"
#include "records/record_samples.h"
#include "records/run_record.h"
#include "records/store.h"

namespace board_testing {

inline records::RunRecord port_run(const std::string& station, int port, const std::string& outcome,
                                   int day, int minute, const char* imei = nullptr) {
  records::RunRecord r = testing_support::sample_record("1", imei, outcome, day, minute);
  r.station = station;
  r.port = port;
  r.revision = outcome == "running" ? 1 : 3;
  if (outcome == "red") {
    r.failed_line = 12;
    r.failed_text = "compare afcdac rf/afcdac";
    r.failed_status = 100;
  }
  return r;
}

// The same run as the board reads it, with the store's id.
inline board::BoardRow board_row(const records::RunRecord& r, std::int64_t id) {
  board::BoardRow b;
  b.id = id;
  b.uid = r.uid;
  b.started_at_ms = r.started_at_ms;
  b.ended_at_ms = r.ended_at_ms;
  b.station = r.station;
  b.port = r.port;
  b.customer = r.customer;
  b.script = r.script;
  b.imei = r.imei;
  b.outcome = r.outcome;
  if (r.failed_line) b.failed_line = *r.failed_line;
  b.failed_text = r.failed_text;
  b.imei_fate = r.imei_fate;
  b.revision = r.revision;
  b.unit_serial = r.unit_serial;
  if (r.attempt) b.attempt = *r.attempt;
  return b;
}

// A store whose every query fails while `away` is set, as a records server
// that went down; the message names the URL with its password, as a client
// library might.
class FlakyStore final : public records::Store {
 public:
  FlakyStore(std::unique_ptr<records::Store> real, const bool& away)
      : real_(std::move(real)), away_(away) {
    if (away_) throw records::StoreError(kMessage);
  }
  void append(std::span<const records::RunRecord> records) override { real_->append(records); }
  std::vector<records::Row> query(const std::string& sql,
                                  const std::vector<std::string>& params) override {
    if (away_) throw records::StoreError(kMessage);
    return real_->query(sql, params);
  }
  std::string changed_at_location() override { return real_->changed_at_location(); }
  static constexpr const char* kMessage =
      "records server postgresql://ffs:s3cret@db/line: connection refused";

 private:
  std::unique_ptr<records::Store> real_;
  const bool& away_;
};

}  // namespace board_testing
