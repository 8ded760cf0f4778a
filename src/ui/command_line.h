// The command-line front end: "ffsload run ..." runs one script against a
// handset and prints the run log, for terminals, scripts and CI.
#pragma once

namespace ui {

// argv without the program name and the word "run". Returns the exit status:
// 0 green, 1 red, 2 no run happened.
int run_command(int argc, char** argv);

}  // namespace ui
