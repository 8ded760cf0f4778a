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

#include "cfx/queue.h"
#include "cfx/station_messages.h"
#include "link/run_log.h"
#include "records/fixture_alarm.h"
#include "run/run_context.h"
#include "script/run_control.h"
#include "station/run_journal.h"

namespace run {

// One run's messages; the operator hears of a queue that cannot be written
// through `log`'s notices.
class CfxRun {
 public:
  CfxRun(const RunContext& context, wire::RunLog& log) : context_(context), log_(log) {}

  // The run `uid` starts (its journal knows it; the handset is not touched
  // yet): the port's open fault raised or cleared (`port_problem`: why the
  // port could not be opened, "" when it is open), the operator activated
  // or changed, the port's state idle -> running, WorkStarted.
  void started(const std::string& uid, std::int64_t started_ms, const std::string& port_problem);

  // The run wrote an IMEI to the handset (its own write-back, or a pending
  // IMEI restored): UnitsPersonalized at its end.
  void imei_written(const std::vector<std::uint8_t>& imei);

  // The run `uid` ended: UnitsTested, UnitsPersonalized, WorkCompleted, the
  // fixture alarm's fault raised or cleared (`alarm`, when the records could
  // say), the port's state running -> idle. Returns "" when queued (or CFX
  // is off, or no run started), else what the operator was told.
  std::string ended(const std::string& uid, std::int64_t ended_ms, script::RunOutcome outcome,
                    const script::RunEnd& end, const std::optional<records::FixtureAlarm>& alarm);

  // The run's end messages could not be queued (a full disk): what rebuilds
  // them, for the port's journal to keep until a later run queues them
  // (cfx_run_rebuilt). nullopt when they were queued, CFX is off or no run
  // started. Taking it forgets it.
  std::optional<std::string> take_unqueued_end();

 private:
  const RunContext& context_;
  wire::RunLog& log_;
  bool active_ = false;
  cfx::RunFacts facts_;
  // Held for the run's steps, closed at its end: no connection between runs.
  std::unique_ptr<cfx::Queue> queue_;
  std::string folder_;
  // Why the start's messages could not be queued, for the run's record.
  std::string start_failure_;
  // The end messages that found no room, until the journal takes them.
  std::optional<std::string> unqueued_;
};

// A run whose end messages the port's journal keeps (unqueued_end): they are
// queued as they would have been, with the same UniqueIDs and times (a MES
// that has one already drops it), after its WorkStarted (queued once by its
// UniqueID, should the start's have found no room either), and the port
// back to idle. True once queued; false while the queue still refuses (the
// operator is told) or CFX is off: the journal keeps them meanwhile.
bool cfx_run_rebuilt(const RunContext& context, const station::JournalRun& run, wire::RunLog& log);

// A run of an earlier process that the port's journal found never ended:
// WorkCompleted "Aborted" (after its WorkStarted, queued again should the
// process have died before it was), UnitsPersonalized when the handset had
// confirmed its IMEI's write-back, the port back to idle.
void cfx_run_interrupted(const RunContext& context, const station::JournalRun& run,
                         std::int64_t noticed_ms, wire::RunLog& log);

}  // namespace run
