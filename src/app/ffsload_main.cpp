// ffsload: loads and checks a handset's flash file system over a serial line.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "app/grid_window.h"
#include "app/operator_gui.h"
#include "app/report_window_qt.h"
#include "cli/board_command.h"
#include "cli/check_command.h"
#include "ffsload_version.h"
#include "cli/run_command.h"
#include "cli/grid_command.h"
#include "cli/ports_command.h"
#include "cli/report_command.h"
#include "records/yield_window.h"

int main(int argc, char** argv) {
  CLI::App app{"ffsload: loads and checks a GSM handset's flash file system over a serial line.",
               "ffsload"};
  app.set_version_flag("--version", "ffsload " FFSLOAD_VERSION);
  app.require_subcommand(0, 1);
  if (display_available()) records::set_report_window(show_report_window_qt);
  int status = cli::kExitNoRun;
  cli::add_run_command(app, &status);
  cli::add_check_command(app, &status);
  cli::add_ports_command(app, &status);
  cli::add_report_command(app, &status);
  cli::add_grid_command(app, &status, run_grid_window);
  cli::add_board_command(app, &status);
  // Set after the subcommands, which would otherwise take it as their own.
  app.footer(
      "Forms:\n"
      "  ffsload                       the operator panels, in the current folder\n"
      "  ffsload run --port N (--script FILE | --customer N[.S]) [options]\n"
      "  ffsload run --ports LIST (--script FILE | --customer N[.S]) [options]\n"
      "  ffsload grid [--ports LIST] [--customer N[.S]]\n"
      "  ffsload check [--explain] [FILE ...]\n"
      "  ffsload ports\n"
      "  ffsload report [--since DAY] [--until DAY] [--customer KEY] [--chart FILE.svg]\n"
      "                 [--csv | --window]\n"
      "\"ffsload SUBCOMMAND --help\" shows a subcommand's options; the manual is ffsload(1).");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end here with 0; a usage error with the usage.
    const int rc = app.exit(e);
    if (rc != 0) {
      CLI::App* sub = app.get_subcommands().empty() ? &app : app.get_subcommands().front();
      std::fprintf(stderr, "%s", sub->help().c_str());
    }
    return rc == 0 ? 0 : cli::kExitNoRun;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ffsload: %s\n", e.what());
    return cli::kExitNoRun;
  }
  if (app.get_subcommands().empty()) return run_operator_gui(argc, argv);
  return status;
}
