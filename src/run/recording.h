// Every run leaves one record, whichever front end ran it: run_script() calls
// record_run() when the run ends. The front ends tell it what only they know.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "records/fixture_alarm.h"
#include "records/outbox.h"
#include "run/run_session.h"

namespace run {

// The customer as the operator chose it ("12.3"; empty for a script given by
// name) and the "MA_NO" text shown for it. Front ends call it after the
// customer is chosen; it holds for every run until called again.
void set_run_context(const std::string& customer_key, const std::string& ma_no);


// The unit's serial for the runs to come (nullopt: none given); front ends
// set it before each run and clear it after, so that a serial is never
// carried to the next unit.
void set_run_unit(std::optional<std::string> serial);
// The operator's id for the runs to come (nullopt: none).
void set_run_operator(std::optional<std::string> id);
// Which front end runs the runs to come ("run", "repeat", "ports", "grid",
// "panels"), for the journal's list of pending IMEIs.
void set_run_front_end(std::string name);
const std::string& run_front_end();
// The fixture alarm's K for this station (0 turns it off).
void set_fixture_alarm_runs(int k);

// What front ends show of a run's unit and its port, told as the run goes:
// `unit` as the run starts ("unit SN-1: attempt 2, passed before
// at 2024-03-01 08:15 UTC"), `alarm` after every record with the port's
// fixture alarm as the records hold it then (raised or not). Unset: nothing
// is told.
struct RunNotices {
  std::function<void(const std::string& text)> unit;
  std::function<void(int port, const records::FixtureAlarm& alarm)> alarm;
};
void set_run_notices(RunNotices notices);

// The port's fixture alarm as this station's records hold it now (a front
// end that opens a port shows an alarm raised before it started); not raised
// when the records cannot be read or the alarm is off.
records::FixtureAlarm read_fixture_alarm(int port);

// The --records value of the command line; empty leaves the choice to
// FFSLOAD_RECORDS, the station file and the default (records::resolve_location).
void set_records_option(const std::string& option);

// What set_run_context() was given, and this station's name (the host's).
const std::string& run_customer_key();
const std::string& run_ma_no();
std::string station_name();

// Milliseconds since 1970, UTC.
std::int64_t now_utc_ms();

// A run starts: its record, outcome "running", is kept in the handset's first
// pause (the run journal, flushed before the handset is touched, knows the
// run until then), so that a run that dies where nothing can be caught still
// leaves one. Returns its uid.
std::string start_run_record(std::int64_t started_ms);
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
// found interrupted, or whose pending IMEI was settled now).
records::KeepResult record_earlier_run(const records::RunRecord& record);

// Records the run that ended: outcome "green", "red" or "no run". The run log,
// port, script, IMEI and failing line are read from where the run left them.
// A record that cannot be kept is said once to the operator (stderr or the
// run panel); it never changes the run's outcome.
records::KeepResult record_run(std::int64_t started_ms, std::int64_t ended_ms,
                               RunOutcome outcome);

}  // namespace run
