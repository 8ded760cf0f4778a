// "ffsload grid": the station grid, one window with a tile per port. The
// command line and the choice of ports live here; the window is the front
// end's (it is handed in, so that this library never reaches the toolkit).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace multiport {
class StationGrid;
}

namespace cli {

// Opens the window over `grid`, with `problems` (of the "comports" file) to
// show, and runs until it is closed; returns the exit status.
using GridWindowOpener =
    std::function<int(multiport::StationGrid& grid, const std::vector<std::string>& problems)>;

// Registers the "grid" subcommand; when chosen, parsing opens the window and
// leaves its exit status in *status.
void add_grid_command(CLI::App& app, int* status, GridWindowOpener open_window);

}  // namespace cli
