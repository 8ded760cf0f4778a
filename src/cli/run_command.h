// The command-line front end: "ffsload run ..." runs one script against a
// handset and prints the run log, for terminals, scripts and CI.
#pragma once

#include "run/exit_status.h"

namespace CLI {
class App;
}

namespace cli {

using run::kExitGreen;
using run::kExitNoRun;
using run::kExitNotSaved;
using run::kExitRed;

// Registers the "run" subcommand on the program's command line. When it is
// the one chosen, parsing runs it and leaves its exit status in *status.
void add_run_command(CLI::App& app, int* status);

}  // namespace cli
