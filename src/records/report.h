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
  long handsets = 0;     // distinct IMEIs among the day's runs
  long first_runs = 0;   // handsets whose first run ever was on this day
  long first_pass = 0;   // ... and was green
  // The line that stopped most red runs of the day (the lower line number on a tie).
  std::optional<long> failing_line;
  std::string failing_text;
  long failing_count = 0;

  // first_pass / first_runs in percent; nullopt when no handset had its first run.
  std::optional<double> yield_percent() const;

  // Per unit: a unit is its serial, else its IMEI, else the run itself. Runs
  // that never touched a unit ("no run") or have not ended are left out.
  long units = 0;            // distinct units among the runs
  long unit_first_runs = 0;  // units whose first run ever is among them
  long unit_first_pass = 0;  // ... and was green
  long unit_final_pass = 0;  // ... and whose last run so far is green
  long run_units = 0;        // units known by neither serial nor IMEI: their runs count alone
  // Grouped --by port: the port's red runs since its last green one, and
  // whether they raise the fixture alarm.
  std::optional<long> red_streak;
  bool fixture_alarm = false;

  std::optional<double> first_pass_percent() const;
  std::optional<double> final_percent() const;
};

// What a grouped report's rows stand for; kDayAndCustomer is the default.
enum class GroupBy { kDayAndCustomer, kPort, kOperator, kCustomer };

// Rows per port ("station port N" in `customer`, day ""), operator or
// customer over the filter's days, ordered by that. fixture_alarm_runs: the
// alarm's K for the ports' streaks (0: not judged).

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
std::vector<ReportRow> build_grouped_report(Store& store, const ReportFilter& filter, GroupBy by,
                                            int fixture_alarm_runs);

// A run that never ended, and what became of the IMEI it had backed up.
struct InterruptedRun {
  std::string started_at;  // ISO 8601 UTC
  std::string station;
  long port = 0;
  std::string customer;
  std::string unit_serial;  // "" when the station scans none
  std::string imei;         // hex, "" when none was backed up
  std::string fate;  // "pending", "restored", "kept aside", "written back", "not at risk", ""
};

// Interrupted runs in the filter's range, oldest first. Throws StoreError.
std::vector<InterruptedRun> list_interrupted(Store& store, const ReportFilter& filter);
std::string format_interrupted(const std::vector<InterruptedRun>& runs);

// An aligned text table, and CSV (RFC 4180 quoting) with a header line.
std::string format_table(const std::vector<ReportRow>& rows);
std::string format_csv(const std::vector<ReportRow>& rows);
std::string format_grouped_table(const std::vector<ReportRow>& rows, GroupBy by);
std::string format_grouped_csv(const std::vector<ReportRow>& rows, GroupBy by);

}  // namespace records
