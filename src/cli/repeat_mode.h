// Terminal repeat mode ("ffsload run ... --repeat"), for stations without a
// display: after each run one summary line, then a prompt for the next
// handset. The process, and so the open port and the context's BetweenRuns
// (IMEI_flag), stays from one run to the next, as with the operator panels.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "fs/imei_guard.h"
#include "run/run_session.h"
#include "station/station_settings.h"

namespace cli {

class RepeatMode {
 public:
  // Off: one run, no summary, no prompt. summary goes to out (coloured when
  // it is a terminal), the prompt to prompt_out, the answer is read from in.
  RepeatMode(bool on, std::FILE* in, std::FILE* out, std::FILE* prompt_out);

  // The number of the run about to start or just ended, from 1.
  int run_number() const { return runs_ + 1; }

  // "run 3: red, 4 s, line 12: fwr afcdac rf/afcdac => 100".
  void summarise(const run::RunResult& result);

  // Asks the operator about a pending IMEI until the answer is yes or no (an
  // empty line, a blind Enter, asks again); no answer at the end of the
  // input or when the process is asked to stop.
  fs::PendingAnswer ask_pending_imei(const std::string& question);

  // Asks for the next handset. False when not repeating, on "q", at the end
  // of the input, or when the process was asked to stop.
  bool next();

  // On a station that asks for unit serials, asks for the next unit's serial
  // instead (before the first run too) until one the station takes, or an
  // empty line where the serial is optional (*serial then nullopt). False on
  // "q", at the end of the input, or when the process was asked to stop.
  bool next_unit(const station::StationSettings& settings, std::optional<std::string>* serial);

 private:
  bool on_;
  std::FILE* in_;
  std::FILE* out_;
  std::FILE* prompt_out_;
  bool colour_;
  int runs_ = 0;
};

}  // namespace cli
