// "ffsload board": the line board, a read-only web page of every station
// and port that records to one store, with its JSON API. The serving is the
// board program's (ffsload-board, beside ffsload or in ../libexec): its HTTP
// library brings TLS and compression libraries that a run must not load.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace cli {

constexpr const char* kBoardProgram = "ffsload-board";

// The board as the options ask for it.
struct BoardRequest {
  std::string host;
  int port = 0;
  std::string location;  // the records, resolved as "report" resolves them
  int fixture_alarm = 3;
};

// Serves the board and returns the exit status; set by the board program.
using BoardService = int (*)(const BoardRequest& request);
void set_board_service(BoardService service);

// Registers the "board" subcommand; when chosen, its exit status goes to
// *status. Without a board service (in ffsload itself) the subcommand hands
// argv over to the board program.
void add_board_command(CLI::App& app, int* status, int argc, char** argv);

}  // namespace cli
