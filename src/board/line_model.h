// What the board knows of the line, kept up to date run by run: each port's
// latest run and its last ended runs, today's runs, the runs that still owe
// an IMEI. The store is read once in full and then only for what changed, so
// that the board's cost does not grow with the millions of runs it holds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "board/board_row.h"

namespace board {

// The fixture alarm of one port, when its last runs call for one.
struct FixtureAlarm {
  std::string station;
  int port = 0;
  int red_runs = 0;                        // the red runs in a row
  std::vector<std::string> failing_lines;  // "12: compare afcdac rf/afcdac"
};

// Decides a port's alarm from its ended runs, newest first.
using AlarmRule = std::function<std::optional<FixtureAlarm>(
    const std::string& station, int port, const std::vector<BoardRow>& recent)>;

struct PortCard {
  std::string station;
  int port = 0;
  std::optional<BoardRow> running;       // the run under way, if one is
  std::optional<BoardRow> last_outcome;  // the last green, red or interrupted run
  bool imei_pending = false;             // ... which left an IMEI pending
  long runs_today = 0;                   // ended runs started today (UTC)
  long first_runs_today = 0;             // of them: units on their first run
  long first_pass_today = 0;             // ... that were green
  bool fixture_alarm = false;

  // first_pass_today / first_runs_today in percent; nullopt without first runs.
  std::optional<double> first_pass_yield_today() const;
};

struct FailingLine {
  std::string customer;
  std::string script;
  long line = 0;
  std::string text;
  long count = 0;
};

struct LineView {
  std::vector<PortCard> cards;  // by station, then port
  std::vector<FixtureAlarm> alarms;
  std::vector<BoardRow> pending_imeis;     // oldest first
  std::vector<FailingLine> failing_lines;  // today's, most frequent first
};

class LineModel {
 public:
  // kept: how many ended runs of each port are kept for the alarm rule.
  explicit LineModel(std::size_t kept);

  // The first millisecond of today (UTC): runs started before it leave the
  // day's counts. Returns whether anything shown changed.
  bool start_day(std::int64_t day_start_ms);
  std::int64_t day_start_ms() const { return day_start_ms_; }

  // Takes in one run as the store has it now; applying the same copy again
  // changes nothing. Returns whether anything shown changed.
  bool apply(const BoardRow& row);

  LineView view(const AlarmRule& alarm_rule, std::size_t failing_lines_shown = 10) const;

  // The runs whose record may still change: running, or owing an IMEI.
  std::vector<std::int64_t> watched_ids() const;
  // The highest id taken in, or noted as read up to.
  std::int64_t max_id() const { return max_id_; }
  void note_max_id(std::int64_t id) { max_id_ = std::max(max_id_, id); }

 private:
  struct TodayRun {
    std::string outcome;
    bool first_attempt = true;
    std::string customer;
    std::string script;
    std::optional<long> failed_line;
    std::string failed_text;
    std::int64_t started_at_ms = 0;
    bool operator==(const TodayRun&) const = default;
  };
  struct PortState {
    std::optional<BoardRow> latest;
    std::vector<BoardRow> recent;  // ended runs, newest first
    std::map<std::int64_t, TodayRun> today;
  };

  std::size_t kept_;
  std::int64_t day_start_ms_ = 0;
  std::int64_t max_id_ = 0;
  std::map<std::pair<std::string, int>, PortState> ports_;
  std::set<std::int64_t> running_;
  std::map<std::int64_t, BoardRow> pending_;
};

}  // namespace board
