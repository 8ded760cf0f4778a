// The command-line front end: "ffsload run ..." runs one script against a
// handset and prints the run log, for terminals, scripts and CI.
#pragma once

namespace CLI {
class App;
}

namespace ui {

// Exit statuses of "ffsload run".
constexpr int kExitGreen = 0;
constexpr int kExitRed = 1;
constexpr int kExitNoRun = 2;
// The run happened but its log could not be saved as --save asked.
constexpr int kExitNotSaved = 3;

// Registers the "run" subcommand on the program's command line. When it is
// the one chosen, parsing runs it and leaves its exit status in *status.
void add_run_command(CLI::App& app, int* status);

}  // namespace ui
