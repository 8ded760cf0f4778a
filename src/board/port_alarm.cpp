#include "board/port_alarm.h"

#include <algorithm>

#include "records/fixture_alarm.h"

namespace board {

AlarmRule fixture_alarm_rule(int k) {
  return [k](const std::string& station, int port,
             const std::vector<BoardRow>& recent) -> std::optional<FixtureAlarm> {
    if (k <= 0) return std::nullopt;
    // The alarm reads a port's red runs back to its last green one (recent
    // is newest first): the rest, most of a good port's runs, are not copied,
    // since every card is drawn again at each change on the line.
    std::vector<records::RunRecord> runs;
    for (const BoardRow& row : recent) {
      if (row.outcome == "green") break;
      if (row.outcome != "red") continue;
      records::RunRecord r;
      r.uid = row.uid;
      r.started_at_ms = row.started_at_ms;
      r.station = row.station;
      r.port = row.port;
      r.outcome = row.outcome;
      r.imei = row.imei;
      r.unit_serial = row.unit_serial;
      if (row.failed_line) r.failed_line = static_cast<int>(*row.failed_line);
      r.failed_text = row.failed_text;
      r.fixture = row.fixture;
      runs.push_back(std::move(r));
    }
    const records::FixtureAlarm alarm = records::fixture_alarm(runs, k);
    if (!alarm.raised) return std::nullopt;
    return FixtureAlarm{station, port, alarm.red_runs, records::failing_line_texts(alarm)};
  };
}

std::size_t runs_kept_for_alarm(int k) {
  // As many as the records read for a station's own alarm.
  return static_cast<std::size_t>(std::max(k, 1) * 2 + 30);
}

}  // namespace board
