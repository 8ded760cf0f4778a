// The run's messages to the factory's network (IPC-CFX), written to the
// station folder's queue (cfx/queue.h) at the run's steps, never sent from
// here: a run never waits on the network. Each step's messages go into the
// queue in one transaction, on disk before the run goes on; the run's last
// ones before its last record is kept. A queue that cannot be written does
// not stop the run: the operator is told (stderr or the run panel), the run
// log and so the record say so, and the run goes on as without CFX.
// Nothing here does anything unless the context's cfx settings are enabled.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "records/fixture_alarm.h"
#include "run/run_context.h"
#include "script/run_control.h"
#include "station/run_journal.h"

namespace run {

// The run `uid` starts (its journal knows it; the handset is not touched
// yet): the port's open fault raised or cleared (`port_problem`: why the port
// could not be opened, "" when it is open), the operator activated or
// changed, the port's state idle -> running, WorkStarted.
void cfx_run_started(const RunContext& context, const std::string& uid, std::int64_t started_ms,
                     const std::string& port_problem);

// The run wrote an IMEI to the handset (its own write-back, or a pending
// IMEI restored): UnitsPersonalized at its end.
void cfx_imei_written(const std::vector<std::uint8_t>& imei);

// The run `uid` ended: UnitsTested, UnitsPersonalized, WorkCompleted, the
// fixture alarm's fault raised or cleared (`alarm`, when the records could
// say), the port's state running -> idle. Returns "" when queued (or CFX is
// off, or no run started), else what the operator was told.
std::string cfx_run_ended(const RunContext& context, const std::string& uid, std::int64_t ended_ms,
                          script::RunOutcome outcome, const script::RunEnd& end,
                          const std::optional<records::FixtureAlarm>& alarm);

// A run of an earlier process that the port's journal found never ended:
// WorkCompleted "Aborted" (after its WorkStarted, queued again should the
// process have died before it was), the port back to idle.
void cfx_run_interrupted(const RunContext& context, const station::JournalRun& run,
                         std::int64_t noticed_ms);

}  // namespace run
