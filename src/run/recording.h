// Every run leaves one record, whichever front end ran it: run_script() calls
// record_run() when the run ends. The front ends tell it what only they know.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/outbox.h"
#include "run/run_session.h"

namespace run {

// The customer as the operator chose it ("12.3"; empty for a script given by
// name) and the "MA_NO" text shown for it. Front ends call it after the
// customer is chosen; it holds for every run until called again.
void set_run_context(const std::string& customer_key, const std::string& ma_no);


// The --records value of the command line; empty leaves the choice to
// FFSLOAD_RECORDS, the station file and the default (records::resolve_location).
void set_records_option(const std::string& option);

// What set_run_context() was given, and this station's name (the host's).
const std::string& run_customer_key();
const std::string& run_ma_no();
std::string station_name();

// Milliseconds since 1970, UTC.
std::int64_t now_utc_ms();

// A run starts: its record is kept at once with outcome "running", so that a
// run that dies where nothing can be caught still leaves one. Returns its uid.
std::string start_run_record(std::int64_t started_ms);
// The run under way backed up an IMEI: its record holds it from now on.
// fate: see records::RunRecord::imei_fate.
void record_run_imei(const std::vector<std::uint8_t>& imei, const std::string& fate);
// What became of the run's IMEI, for its last record.
void note_run_imei_fate(const std::string& fate);
// A record for a run of an earlier process that the journal knows of (one
// found interrupted, or whose pending IMEI was settled now).
void record_earlier_run(const records::RunRecord& record);

// Records the run that ended: outcome "green", "red" or "no run". The run log,
// port, script, IMEI and failing line are read from where the run left them.
// A record that cannot be kept is said once to the operator (stderr or the
// run panel); it never changes the run's outcome.
records::KeepResult record_run(std::int64_t started_ms, std::int64_t ended_ms,
                               RunOutcome outcome);

}  // namespace run
