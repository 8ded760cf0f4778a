// The command-line front end: "ffsload run ..." runs one script against a
// handset and prints the run log, for terminals, scripts and CI.
#pragma once

#include <string>
#include "run/exit_status.h"

namespace CLI {
class App;
}

namespace cli {

using run::kExitGreen;
using run::kExitNoRun;
using run::kExitNotSaved;
using run::kExitRed;

// False, with the reason on stderr, when the records location that `option`
// (--records, or else the usual precedence) chooses cannot take records: it
// is the outbox file itself. A run then does not start (exit status 2).
bool records_usable(const std::string& option);

// Registers the "run" subcommand on the program's command line. When it is
// the one chosen, parsing runs it and leaves its exit status in *status.
void add_run_command(CLI::App& app, int* status);

}  // namespace cli
