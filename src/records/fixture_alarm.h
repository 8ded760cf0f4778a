// The fixture alarm: a port whose last K runs were red on K different units
// points at its fixture (a worn cable, bent pins), not at the units. The
// rule is a pure function of the port's runs so that every front end, the
// report and anything else reading the records decide it the same way.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/operator_text.h"
#include "records/run_record.h"
#include "records/store.h"

namespace records {

// The fixture alarm's K when the station does not set one.
constexpr int kDefaultFixtureAlarmRuns = 3;

// A failing line of the streak's red runs, with how many of them it stopped.
struct FailingLine {
  std::optional<int> line;
  std::string text;
  int runs = 0;
};

struct FixtureAlarm {
  bool raised = false;
  // The port's current streak: red runs since its last green one (within
  // the runs given).
  int red_runs = 0;
  // The lines that stopped the streak's runs, the most frequent first.
  std::vector<FailingLine> failing_lines;
};

// A run's unit: its serial, else its IMEI, else the run itself (its uid).
std::string unit_of(const RunRecord& record);

// runs: one port's runs, the newest first; only green and red runs count
// (a "no run" never touched a handset, a running or interrupted one has no
// verdict). Raised when k red runs in a row since the port's last green run
// belong to k different units; only the next green run clears it. k <= 0
// turns it off.
FixtureAlarm fixture_alarm(const std::vector<RunRecord>& runs, int k);

// The green and red runs of `port` on `station`, the newest first, at most
// `limit`, with the fields the alarm reads (no logs).
std::vector<RunRecord> last_port_runs(Store& store, const std::string& station, int port,
                                      int limit);

// How many of a port's latest runs the alarm reads: enough to measure a
// streak well beyond k.
int fixture_alarm_window(int k);

// The alarm of `port` as the stores hold it now.
FixtureAlarm port_fixture_alarm(Store& store, const std::string& station, int port, int k);

// The alarm after `run` ends, from the port's runs before it as
// last_port_runs() read them (newest first): what port_fixture_alarm() says
// once the run is stored, without reading the store again.
FixtureAlarm fixture_alarm_after(const RunRecord& run, const std::vector<RunRecord>& earlier,
                                 int k);

// "check the fixture on port 3: 4 red runs in a row"
std::string fixture_alarm_text(int port, const FixtureAlarm& alarm);

// "12: compare afcdac rf/afcdac (2x)", one text per failing line.
std::vector<std::string> failing_line_texts(const FixtureAlarm& alarm);

// The raised alarm for the operator's screen: the text above, then
// "failing line 12: compare afcdac rf/afcdac (2x)" for each failing line.
std::vector<platform::OperatorText> fixture_alarm_lines(int port, const FixtureAlarm& alarm);

}  // namespace records
