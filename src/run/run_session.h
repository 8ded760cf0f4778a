// What every front end does around one run of the script, and the saving of
// the run log: one implementation for the GUI's Run and Save buttons and for
// "ffsload run".
#pragma once

#include <string>
#include <vector>

#include "run/run_context.h"
#include "script/run_control.h"

namespace run {

using RunOutcome = script::RunOutcome;

struct RunResult {
  RunOutcome outcome = RunOutcome::kNoRun;
  long elapsed_seconds = 0;
  // Why a run was refused before the handset was touched (the MES's lock or
  // its word on the unit), "" otherwise; already told to the operator.
  std::string refusal;
  // Another run holds the port's journal (the same port in this station folder).
  bool port_in_use = false;
  // The uid of the run's record, "" for a run refused before it had one.
  std::string uid;
};

// The Run button: empties the elapsed time, empties the run log and colours it
// yellow, runs the script named by tmsfile, and shows the whole seconds it
// took. The outcome is the runner's own (script::last_run_end()): green, red,
// or no run when the script could not be opened; the log's colour shows it.
// Every run, a run that could not start included, then leaves its record
// (run/recording.h).
RunResult run_script(const RunContext& context);

// "green", "red" or "no run".
const char* outcome_name(RunOutcome outcome);

struct SavedLog {
  bool saved = false;
  std::string name;   // the file written, or the one that could not be
  std::string error;  // why not, when saved is false
};

// The Save button: writes every run-log line, each followed by CR LF, into
// "Download_MMDD-HHMMSS.txt" in the current folder; the save button is hidden
// while it writes. A file of that name is never emptied: the log then goes to
// "Download_MMDD-HHMMSS-2.txt", "-3", ... The file is created exclusively and
// written completely, or removed again.
SavedLog save_run_log();

// The same file, named and written the same way, for a log the caller holds
// (a station grid's tile): `lines` into `folder` ("" for the current folder,
// whose files are then named without a folder, as save_run_log() names them).
SavedLog save_log_lines(const std::vector<std::string>& lines, const std::string& folder);

}  // namespace run
