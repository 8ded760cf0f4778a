// Every run leaves one record, whichever front end ran it: run_script() calls
// record_run() when the run ends. The front ends tell it what only they know.
#pragma once

#include <cstdint>
#include <string>

#include "records/outbox.h"

namespace ui {

// The customer as the operator chose it ("12.3"; empty for a script given by
// name) and the "MA_NO" text shown for it. Front ends call it after the
// customer is chosen; it holds for every run until called again.
void set_run_context(const std::string& customer_key, const std::string& ma_no);

// "N" for a customer without sub-numbers, "N.S" for the customer of the "qm"
// line (read from "custdefine" by the choice).
std::string customer_key(int customer, int sub_number);

// The --records value of the command line; empty leaves the choice to
// FFSLOAD_RECORDS, the station file and the default (records::resolve_location).
void set_records_option(const std::string& option);

// Milliseconds since 1970, UTC.
std::int64_t now_utc_ms();

// Records the run that ended: outcome "green", "red" or "no run". The run log,
// port, script, IMEI and failing line are read from where the run left them.
// A record that cannot be kept is said once to the operator (stderr or the
// run panel); it never changes the run's outcome.
records::KeepResult record_run(std::int64_t started_ms, std::int64_t ended_ms,
                               const std::string& outcome);

}  // namespace ui
