// The command line that both programs share: the one table of subcommands,
// its help and its parse. The plain program "ffsload" has no toolkit, so it
// hands every window (the panels, the grid, the report's window) to the
// window program "ffsload-gui", which parses the same command line.
#pragma once

#include <functional>

#include "cli/grid_command.h"

namespace cli {

// The window program's name, installed beside ffsload or in ../libexec.
constexpr const char* kWindowProgram = "ffsload-gui";

// What a front end opens when a window is asked for.
struct WindowFronts {
  // "ffsload" alone: the operator panels; returns main's status.
  std::function<int(int argc, char** argv)> open_panels;
  GridWindowOpener open_grid;
};

// Parses argv, runs the chosen subcommand and returns main's status.
int run_command_line(int argc, char** argv, const WindowFronts& fronts);

// Whether argv asks for a window: no subcommand at all, "grid", or "report
// --window". Help and version never do: they are printed without a toolkit.
bool asks_for_window(int argc, char** argv);

// Replaces this process with the window program, given the same arguments.
// Returns main's status only when that cannot be done, after saying why.
int hand_to_window_program(int argc, char** argv);

}  // namespace cli
