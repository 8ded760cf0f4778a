#include "records/fixture_alarm.h"

#include <algorithm>
#include <set>

namespace records {

std::string unit_of(const RunRecord& record) {
  if (record.unit_serial && !record.unit_serial->empty()) return "serial:" + *record.unit_serial;
  if (record.imei && !record.imei->empty()) return "imei:" + *record.imei;
  return "run:" + record.uid;
}

FixtureAlarm fixture_alarm(const std::vector<RunRecord>& runs, int k) {
  FixtureAlarm alarm;
  std::vector<std::string> streak_units;  // the streak's units, newest first
  for (const RunRecord& run : runs) {
    if (run.outcome == "green") break;
    if (run.outcome != "red") continue;
    ++alarm.red_runs;
    streak_units.push_back(unit_of(run));
    auto same = [&](const FailingLine& f) {
      return f.line == run.failed_line && f.text == run.failed_text.value_or("");
    };
    auto it = std::find_if(alarm.failing_lines.begin(), alarm.failing_lines.end(), same);
    if (it == alarm.failing_lines.end()) {
      alarm.failing_lines.push_back({run.failed_line, run.failed_text.value_or(""), 1});
    } else {
      ++it->runs;
    }
  }
  // Stable: lines stopping as many runs stay newest first.
  std::stable_sort(alarm.failing_lines.begin(), alarm.failing_lines.end(),
                   [](const FailingLine& a, const FailingLine& b) { return a.runs > b.runs; });
  // K red runs in a row on K different units anywhere in the streak: once
  // raised, a unit that fails again does not lower it; only a green run does.
  const auto count = static_cast<std::size_t>(std::max(k, 0));
  for (std::size_t start = 0; k > 0 && start + count <= streak_units.size(); ++start) {
    const std::set<std::string> units(streak_units.begin() + static_cast<long>(start),
                                      streak_units.begin() + static_cast<long>(start + count));
    if (units.size() == count) {
      alarm.raised = true;
      break;
    }
  }
  return alarm;
}

std::vector<RunRecord> last_port_runs(Store& store, const std::string& station, int port,
                                      int limit) {
  const auto rows = store.query(
      "SELECT uid, started_at, outcome, unit_serial, imei, failed_line, failed_text, fixture "
      "FROM runs WHERE station = ? AND port = ? AND outcome IN ('green', 'red') "
      "ORDER BY started_at DESC, id DESC LIMIT " +
          std::to_string(std::max(limit, 0)),
      {station, std::to_string(port)});
  std::vector<RunRecord> runs;
  runs.reserve(rows.size());
  for (const Row& row : rows) {
    if (row.size() != 8) continue;
    RunRecord r;
    r.uid = row[0].value_or("");
    r.started_at_ms = row[1] ? parse_iso8601_utc(*row[1]).value_or(0) : 0;
    r.station = station;
    r.port = port;
    r.outcome = row[2].value_or("");
    r.unit_serial = row[3];
    r.imei = row[4];
    if (row[5]) {
      try {
        r.failed_line = std::stoi(*row[5]);
      } catch (const std::exception&) {
        // A line number another tool wrote badly: the run still counts.
      }
    }
    r.failed_text = row[6];
    r.fixture = row[7];
    runs.push_back(std::move(r));
  }
  return runs;
}

int fixture_alarm_window(int k) {
  return std::max(k, 1) * 2 + 30;
}

FixtureAlarm port_fixture_alarm(Store& store, const std::string& station, int port, int k) {
  if (k <= 0) return {};
  return fixture_alarm(last_port_runs(store, station, port, fixture_alarm_window(k)), k);
}

FixtureAlarm fixture_alarm_after(const RunRecord& run, const std::vector<RunRecord>& earlier,
                                 int k) {
  if (k <= 0) return {};
  std::vector<RunRecord> runs;
  if (run.outcome == "green" || run.outcome == "red") runs.push_back(run);
  for (const RunRecord& r : earlier) {
    if (runs.size() >= static_cast<std::size_t>(fixture_alarm_window(k))) break;
    if (r.uid != run.uid) runs.push_back(r);
  }
  return fixture_alarm(runs, k);
}

namespace {

platform::OperatorText alarm_text(int port, const FixtureAlarm& alarm) {
  return {"fixture.alarm", {std::to_string(port), std::to_string(alarm.red_runs)}};
}

}  // namespace

std::string fixture_alarm_text(int port, const FixtureAlarm& alarm) {
  return alarm_text(port, alarm).english();
}

std::vector<std::string> failing_line_texts(const FixtureAlarm& alarm) {
  std::vector<std::string> texts;
  for (const FailingLine& f : alarm.failing_lines) {
    std::string text = f.line ? std::to_string(*f.line) + ": " + f.text : f.text;
    texts.push_back(text + " (" + std::to_string(f.runs) + "x)");
  }
  return texts;
}

std::vector<platform::OperatorText> fixture_alarm_lines(int port, const FixtureAlarm& alarm) {
  std::vector<platform::OperatorText> lines = {alarm_text(port, alarm)};
  for (const std::string& line : failing_line_texts(alarm)) {
    lines.push_back({"fixture.failing_line", {line}});
  }
  return lines;
}

}  // namespace records
