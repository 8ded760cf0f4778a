// SIGINT and SIGTERM while "ffsload run" works: the first asks the run to
// stop at the end of the current command (never between a format and the
// IMEI write-back); a second ends the process at once. A closed stdout and a
// full file-size limit never end the process.
#pragma once

#include <string>

#include "run/run_session.h"

namespace cli {

// Installs the handlers for the life of the process.
void install_run_interruption();

// The signal that asked the run to stop, 0 when none did.
int stop_signal();

// 130 for SIGINT, 143 for SIGTERM: the shell's status of a process ended by
// that signal.
int exit_status_for_signal(int signal_number);

// The last stderr line of a run stopped by a signal: where `last` (the last
// run) stopped and, when the handset was left without its IMEI, which PC
// file holds it.
std::string stopped_run_report(int signal_number, const run::RunResult& last);

}  // namespace cli
