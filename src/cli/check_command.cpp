#include "cli/check_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "check/custdefine_check.h"
#include "check/findings.h"
#include "check/script_check.h"
#include "check/settings_check.h"

namespace cli {

namespace {

struct CheckOptions {
  std::vector<std::string> files;
  bool explain = false;
};

int run_check(const CheckOptions& o) {
  check::Report report(stdout);
  std::vector<std::string> scripts = o.files;
  if (scripts.empty()) {
    check::check_station_settings(report);
    scripts = check::check_custdefine(report);
  }
  for (const std::string& script : scripts) check::check_script(script, report, o.explain);
  report.print_summary();
  return report.exit_status();
}

}  // namespace

void add_check_command(CLI::App& app, int* status) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* sub = app.add_subcommand(
      "check",
      "check the station in the current folder (\"custdefine\", its scripts and their PC files), "
      "or the given scripts, for what the run would do differently than written");
  sub->add_option("FILE", options->files, "scripts to check instead of the whole station");
  sub->add_flag("--explain", options->explain,
                "also say for every script line what the run does with it");
  sub->footer(
      "Each problem is one line \"FILE:LINE: error: TEXT\" or \"FILE:LINE: warning: TEXT\".\n"
      "Exit status: 0 clean, 1 warnings only, 2 an error.");
  sub->callback([options, status] { *status = run_check(*options); });
}

}  // namespace cli
