// Stopping a run from outside (a signal, a front end) at a safe point, and
// how the last run ended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace script {

// Asks the running script to stop at the end of the current command. Safe to
// call from a signal handler. The runner does not stop while the handset has
// been formatted after an IMEI backup and the IMEI is not back yet.
void request_stop();
bool stop_requested();
void clear_stop_request();
// The script line the runner is at (1-based, 0 before the first); safe to
// read from a signal handler.
int current_line_number();

// How a run ended, as the runner saw it: every command succeeded, one failed
// (or the run was stopped), or the script could not even be opened.
enum class RunOutcome { kGreen, kRed, kNoRun };

// A script line with a command that the runner ran: what a run reports
// line by line to the factory's systems.
struct LineRan {
  int number = 0;  // 1-based
  std::string text;
  int status = 0;                             // the command's status; 0 succeeded
  std::int64_t started_ms = 0, ended_ms = 0;  // UTC, milliseconds since 1970
};

struct RunEnd {
  RunOutcome outcome = RunOutcome::kNoRun;
  int line_number = 0;         // the last line the runner started (1-based), 0 for none
  std::string line;            // its text
  int status = 0;              // its command status
  bool stopped = false;        // the run was stopped on request before the script's end
  std::vector<LineRan> lines;  // every line with a command that ran, in order
};

// How the most recent run of download() ended.
const RunEnd& last_run_end();

}  // namespace script
