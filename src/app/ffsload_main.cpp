// ffsload: loads and checks a handset's flash file system over a serial line.
// This program links no toolkit, so that a run, a check or a report starts
// at once and stays small; a window is the window program's.
#include <cstdio>

#include "cli/command_line.h"
#include "cli/run_command.h"

int main(int argc, char** argv) {
  if (cli::asks_for_window(argc, argv)) return cli::hand_to_window_program(argc, argv);
  cli::WindowFronts fronts;
  // Reached only when the command line was not recognised as asking for a
  // window beforehand; the window program is the one to ask.
  fronts.open_panels = [](int count, char** args) {
    return cli::hand_to_window_program(count, args);
  };
  fronts.open_grid = [](multiport::StationGrid&, const std::vector<std::string>&) {
    std::fprintf(stderr, "ffsload: the grid opens in the window program %s\n", cli::kWindowProgram);
    return cli::kExitNoRun;
  };
  return cli::run_command_line(argc, argv, fronts);
}
