// "ffsload check [FILE ...]": the station checker on the command line.
#pragma once

namespace CLI {
class App;
}

namespace cli {

// Registers the "check" subcommand; when chosen, parsing runs it and leaves
// its exit status (0 clean, 1 warnings, 2 errors) in *status.
void add_check_command(CLI::App& app, int* status);

}  // namespace cli
