#include "cli/pending_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/date_time.h"
#include "platform/text_format.h"
#include "run/exit_status.h"
#include "run/pending_imeis.h"
#include "run/recording.h"
#include "station/run_journal.h"

namespace cli {

namespace {

struct PendingOptions {
  int port = 0;
  std::string keep_aside;  // HEX
  bool resolve_damaged = false;
  std::string by;
  std::string records;
};

// Who acted, and when, for the journal's line and the record.
std::string engineer_note(const PendingOptions& o) {
  std::string who = o.by;
  if (who.empty()) {
    const char* user = std::getenv("USER");
    who = user && *user ? user : "unknown";
  }
  return "ffsload pending by " + who + " at " + platform::local_date_time_text(run::now_utc_ms());
}

int act(const PendingOptions& o) {
  const std::string station = station::station_folder();
  if (o.keep_aside.empty() && !o.resolve_damaged) {
    std::fputs(run::format_port_journals(run::read_port_journals(station)).c_str(), stdout);
    return run::kExitGreen;
  }
  run::EngineerAction action;
  if (!o.keep_aside.empty()) {
    std::string why;
    const auto option = run::parse_pending_option("restore=" + o.keep_aside, &why);
    if (!option) {
      std::fprintf(stderr,
                   "ffsload: --keep-aside takes the 16 hex digits of a pending IMEI, not \"%s\"\n",
                   o.keep_aside.c_str());
      return run::kExitNoRun;
    }
    action = run::keep_aside_pending(station, o.port, *option->imei, engineer_note(o), o.records);
  } else {
    action = run::resolve_damaged_lines(station, o.port, engineer_note(o));
  }
  std::fprintf(action.done ? stdout : stderr, "%s%s\n",
               action.done ? "" : "ffsload: ", action.message.c_str());
  if (action.done) return run::kExitGreen;
  return action.usage ? run::kExitNoRun : run::kExitRed;
}

}  // namespace

void add_pending_command(CLI::App& app, int* status) {
  auto options = std::make_shared<PendingOptions>();
  CLI::App* sub = app.add_subcommand(
      "pending",
      "list the pending, kept-aside and damaged entries of the run journals in this station "
      "folder, by port; or act on one as a line engineer");
  auto* port = sub->add_option("--port", options->port, "the port whose journal to act on")
                   ->check(CLI::Range(1, 8));
  auto* keep = sub->add_option("--keep-aside", options->keep_aside,
                               "keep the pending IMEI HEX (16 hex digits) aside for good: no "
                               "run gives it to a handset any more");
  keep->type_name("HEX");
  auto* resolve = sub->add_flag("--resolve-damaged", options->resolve_damaged,
                                "set the journal's damaged lines aside (into "
                                "run-journal_N.damaged) once read, so the port formats again");
  keep->excludes(resolve);
  sub->add_option("--by", options->by, "who acts, for the journal and the record (default $USER)");
  sub->add_option("--records", options->records,
                  "where the settled run's record goes (as for run)");
  sub->footer(
      "Exit status: 0 listed or done, 1 the journal could not be changed (a run holds the port,\n"
      "or the disk refused), 2 bad usage or nothing to act on (an IMEI not pending, no damaged\n"
      "line).");
  sub->callback([options, port, keep, resolve, status] {
    if ((keep->count() || resolve->count()) && !port->count()) {
      throw CLI::ValidationError("pending", "--keep-aside and --resolve-damaged need --port N");
    }
    if (port->count() && !keep->count() && !resolve->count()) {
      throw CLI::ValidationError("pending", "--port needs --keep-aside HEX or --resolve-damaged");
    }
    *status = act(*options);
  });
}

}  // namespace cli
