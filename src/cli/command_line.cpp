#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "cli/audit_command.h"
#include "cli/board_command.h"
#include "cli/cfx_command.h"
#include "cli/check_command.h"
#include "cli/pending_command.h"
#include "cli/people_command.h"
#include "cli/ports_command.h"
#include "cli/report_command.h"
#include "cli/run_command.h"
#include "cli/station_people.h"
#include "ffsload_version.h"
#include "platform/child_process.h"
#include "platform/folders.h"

namespace cli {

int run_command_line(int argc, char** argv, const WindowFronts& fronts) {
  CLI::App app{"ffsload: loads and checks a GSM handset's flash file system over a serial line.",
               "ffsload"};
  app.set_version_flag("--version", "ffsload " FFSLOAD_VERSION);
  app.require_subcommand(0, 1);
  int status = kExitNoRun;
  add_run_command(app, &status);
  add_check_command(app, &status);
  add_ports_command(app, &status);
  add_pending_command(app, &status);
  add_report_command(app, &status);
  add_grid_command(app, &status, fronts.open_grid);
  add_board_command(app, &status, argc, argv);
  add_cfx_command(app, &status);
  add_people_command(app, &status);
  add_audit_command(app, &status);
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
      "  ffsload board [--listen ADDR:PORT] [--records URL] [--fixture-alarm K]\n"
      "  ffsload cfx [--status | --exit-when-busy] [--as-folder-owner]\n"
      "  ffsload people add|list|set-pin|lock|unlock|remove [ID] [options]\n"
      "  ffsload audit verify [--heads FILE] | audit export [--since DATE] [--format csv|json]\n"
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
    return rc == 0 ? 0 : kExitNoRun;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ffsload: %s\n", e.what());
    return kExitNoRun;
  }
  if (app.get_subcommands().empty()) {
    if (windows_wait_for_login()) return kExitNoRun;
    return fronts.open_panels(argc, argv);
  }
  return status;
}

bool asks_for_window(int argc, char** argv) {
  if (argc <= 1) return true;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  for (std::string_view arg : args) {
    if (arg == "-h" || arg == "--help" || arg == "--version") return false;
  }
  if (args.front() == "grid") return true;
  if (args.front() == "report") {
    for (std::string_view arg : args) {
      if (arg == "--window") return true;
    }
  }
  return false;
}

int hand_to_window_program(int argc, char** argv) {
  const std::string program = platform::sibling_program(kWindowProgram);
  if (program.empty()) {
    const std::string folder = platform::program_folder();
    std::fprintf(stderr,
                 "ffsload: the window program %s is missing: looked in %s, %s/../bin and "
                 "%s/../libexec; \"ffsload run\" works without it\n",
                 kWindowProgram, folder.c_str(), folder.c_str(), folder.c_str());
    return kExitNoRun;
  }
  std::vector<std::string> args(argv, argv + argc);
  args.front() = program;
  const std::string why = platform::replace_process(program, args);
  std::fprintf(stderr, "ffsload: cannot start the window program %s: %s\n", program.c_str(),
               why.c_str());
  return kExitNoRun;
}

}  // namespace cli
