// Every run leaves one record, whichever front end ran it: run_script() calls
// record_run() when the run ends. What only the front end knows comes in the
// run's context.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "records/fixture_alarm.h"
#include "records/outbox.h"
#include "run/run_context.h"
#include "run/run_session.h"

namespace run {

// The port's fixture alarm as this station's records (`records_option`, as
// RunContext has it) hold it now, for the alarm's K (0: off): a front end
// that opens a port shows an alarm raised before it started. Not raised when
// the records cannot be read or the alarm is off.
records::FixtureAlarm read_fixture_alarm(int port, const std::string& records_option, int k);

// This station's name (the host's).
std::string station_name();

// Milliseconds since 1970, UTC.
std::int64_t now_utc_ms();

// A run starts: its record, outcome "running", is kept in the handset's first
// pause (the run journal, flushed before the handset is touched, knows the
// run until then), so that a run that dies where nothing can be caught still
// leaves one. Returns its uid.
std::string start_run_record(const RunContext& context, std::int64_t started_ms);
// Who the run under way is for, as its record has it from the start.
struct RunIdentity {
  std::optional<std::string> unit_serial;
  std::optional<std::string> operator_id;
  std::optional<int> attempt;  // known at the start for a unit with a serial
};
RunIdentity current_run_identity();
// The run under way backed up an IMEI: its record holds it from now on.
// fate: see records::RunRecord::imei_fate.
void record_run_imei(const std::vector<std::uint8_t>& imei, const std::string& fate);
// What became of the run's IMEI, for its last record.
void note_run_imei_fate(const std::string& fate);
// A record for a run of an earlier process that the journal knows of (one
// found interrupted, or whose pending IMEI was settled now), kept where
// `records_option` says (as RunContext has it).
records::KeepResult record_earlier_run(const records::RunRecord& record,
                                       const std::string& records_option);

// Records the run of `context` that ended: outcome "green", "red" or "no
// run" (also for a run that never started, such as a customer not found).
// The run log, IMEI and failing line are read from where the run left them.
// A record that cannot be kept is said once to the operator (stderr or the
// run panel); it never changes the run's outcome.
records::KeepResult record_run(const RunContext& context, std::int64_t started_ms,
                               std::int64_t ended_ms, RunOutcome outcome);

}  // namespace run
