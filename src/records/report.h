// The yield report: per customer and day, runs, handsets, first-pass yield and
// the most frequent failing line. Plain rows, so that the command line prints
// them and a window can show them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "records/store.h"

namespace records {

struct ReportFilter {
  std::optional<std::string> since;     // first day, "YYYY-MM-DD" (UTC), inclusive
  std::optional<std::string> until;     // last day, inclusive
  std::optional<std::string> customer;  // the customer key as recorded
};

struct ReportRow {
  std::string customer;
  std::string day;  // "YYYY-MM-DD", UTC
  long runs = 0;
  long interrupted = 0;  // runs that never ended: a power cut, kill -9, a crash
  long handsets = 0;    // distinct IMEIs among the day's runs
  long first_runs = 0;  // handsets whose first run ever was on this day
  long first_pass = 0;  // ... and was green
  // The line that stopped most red runs of the day (the lower line number on a tie).
  std::optional<long> failing_line;
  std::string failing_text;
  long failing_count = 0;

  // first_pass / first_runs in percent; nullopt when no handset had its first run.
  std::optional<double> yield_percent() const;
};

// A value in the store that the report cannot read (a failing line that is
// not a number): the store's own text, without its name.
class BadStoredValue : public StoreError {
 public:
  using StoreError::StoreError;
};

// "YYYY-MM-DD" that names a real day.
bool valid_day(const std::string& text);

// Rows ordered by day, then customer. Throws StoreError (BadStoredValue for
// a value it cannot read).
std::vector<ReportRow> build_report(Store& store, const ReportFilter& filter);

// A run that never ended, and what became of the IMEI it had backed up.
struct InterruptedRun {
  std::string started_at;  // ISO 8601 UTC
  std::string station;
  long port = 0;
  std::string customer;
  std::string imei;  // hex, "" when none was backed up
  std::string fate;  // "pending", "restored", "kept aside", "written back", "not at risk", ""
};

// Interrupted runs in the filter's range, oldest first. Throws StoreError.
std::vector<InterruptedRun> list_interrupted(Store& store, const ReportFilter& filter);
std::string format_interrupted(const std::vector<InterruptedRun>& runs);

// An aligned text table, and CSV (RFC 4180 quoting) with a header line.
std::string format_table(const std::vector<ReportRow>& rows);
std::string format_csv(const std::vector<ReportRow>& rows);

}  // namespace records
