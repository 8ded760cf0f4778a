// "ffsload board": the line board, a read-only web page of every station
// and port that records to one store, with its JSON API.
#pragma once

namespace CLI {
class App;
}

namespace cli {

// Registers the "board" subcommand; when chosen, its exit status goes to *status.
void add_board_command(CLI::App& app, int* status);

}  // namespace cli
