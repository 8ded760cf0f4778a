// How a run ended, as the runner saw it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace script {

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

}  // namespace script
