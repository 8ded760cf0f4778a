// ffsload-board: the line board's server. "ffsload board" starts it; it
// takes the same command line, so that the HTTP library and the TLS and
// compression libraries it brings load here and never in a run.
#include <cstdio>

#include "board/board_service.h"
#include "cli/board_command.h"
#include "cli/command_line.h"
#include "cli/run_command.h"

namespace {

int serve_board(const cli::BoardRequest& request) {
  board::ServiceOptions options;
  options.host = request.host;
  options.port = request.port;
  options.location = request.location;
  options.fixture_alarm = request.fixture_alarm;
  return board::serve(options);
}

}  // namespace

int main(int argc, char** argv) {
  cli::set_board_service(serve_board);
  cli::WindowFronts fronts;
  fronts.open_panels = [](int count, char** args) {
    return cli::hand_to_window_program(count, args);
  };
  fronts.open_grid = [](multiport::StationGrid&, const std::vector<std::string>&) {
    std::fprintf(stderr, "ffsload: the grid opens in the window program %s\n", cli::kWindowProgram);
    return cli::kExitNoRun;
  };
  return cli::run_command_line(argc, argv, fronts);
}
