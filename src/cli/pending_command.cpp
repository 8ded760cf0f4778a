#include "cli/pending_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "cli/station_people.h"
#include "platform/date_time.h"
#include "platform/text_format.h"
#include "run/exit_status.h"
#include "run/pending_imeis.h"
#include "run/recording.h"
#include "station/run_journal.h"
#include "station/station_settings.h"

namespace cli {

namespace {

struct PendingOptions {
  int port = 0;
  std::string keep_aside;    // HEX
  std::string restore_kept;  // HEX
  bool resolve_damaged = false;
  std::string by;
  std::string why;
  std::string records;
  std::optional<int> pin_fd;  // the PIN of --by, when login = required
};

// Who acted, and when, for the journal's line and the record.
std::string engineer_note(const PendingOptions& o) {
  std::string who = o.by;
  if (who.empty()) {
    const char* user = std::getenv("USER");
    who = user && *user ? user : "unknown";
  }
  std::string note =
      "ffsload pending by " + who + " at " + platform::local_date_time_text(run::now_utc_ms());
  if (!o.why.empty()) note += ": " + o.why;
  return note;
}

std::optional<std::vector<std::uint8_t>> imei_option(const std::string& name,
                                                     const std::string& hex) {
  std::string why;
  const auto option = run::parse_pending_option("restore=" + hex, &why);
  if (!option) {
    std::fprintf(stderr, "ffsload: %s takes the 16 hex digits of an IMEI, not \"%s\"\n",
                 name.c_str(), hex.c_str());
    return std::nullopt;
  }
  return option->imei;
}

// The action as the audit trail tells it.
people::Action audit_action(const PendingOptions& o) {
  people::Action action;
  action.needed = people::Role::kTechnician;
  const std::string port = " on port " + std::to_string(o.port);
  if (!o.keep_aside.empty()) {
    action.what = "keep the pending IMEI " + o.keep_aside + " aside" + port;
    action.before_state = "pending";
    action.after_state = "kept aside";
  } else if (!o.restore_kept.empty()) {
    action.what = "restore the IMEI " + o.restore_kept + " kept aside" + port;
    action.before_state = "kept aside";
    action.after_state = "pending";
  } else {
    action.what = "resolve the damaged journal" + port;
    action.before_state = "damaged lines in run-journal_" + std::to_string(o.port);
    action.after_state = "set aside into run-journal_" + std::to_string(o.port) + ".damaged";
  }
  if (!o.why.empty()) action.why = o.why;
  return action;
}

int act(const PendingOptions& o) {
  const std::string station = station::station_folder();
  if (o.keep_aside.empty() && o.restore_kept.empty() && !o.resolve_damaged) {
    std::fputs(run::format_port_journals(run::read_port_journals(station)).c_str(), stdout);
    return run::kExitGreen;
  }
  const station::StationSettingsFile settings = station::read_station_settings();
  if (const std::string refusal = settings.refusal(); !refusal.empty()) {
    std::fprintf(stderr, "ffsload: %s\n", refusal.c_str());
    return run::kExitNoRun;
  }
  // With login = required, a technician's PIN and reason before anything changes.
  std::optional<StationPeople> checked;
  if (settings.settings.login_required) {
    checked = station_people(o.records, settings.settings);
    if (!authorize_on_command_line(*checked, o.by, o.pin_fd, audit_action(o))) {
      return run::kExitNoRun;
    }
  }
  run::EngineerAction action;
  if (!o.keep_aside.empty()) {
    const auto imei = imei_option("--keep-aside", o.keep_aside);
    if (!imei) return run::kExitNoRun;
    action = run::keep_aside_pending(station, o.port, *imei, engineer_note(o), o.records);
  } else if (!o.restore_kept.empty()) {
    const auto imei = imei_option("--restore-kept", o.restore_kept);
    if (!imei) return run::kExitNoRun;
    action = run::restore_kept_aside(station, o.port, *imei, engineer_note(o), o.records);
  } else {
    action = run::resolve_damaged_lines(station, o.port, engineer_note(o), o.records);
  }
  std::fprintf(action.done ? stdout : stderr, "%s%s\n",
               action.done ? "" : "ffsload: ", action.message.c_str());
  if (checked && !action.done) record_failed_action(*checked, o.by, audit_action(o), action.message);
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
  auto* restore_kept =
      sub->add_option("--restore-kept", options->restore_kept,
                      "take back a keep-aside: the IMEI HEX kept aside on the port is pending "
                      "again, and the next handset without an IMEI is asked about it (needs "
                      "--why)");
  restore_kept->type_name("HEX")->excludes(keep)->excludes(resolve);
  sub->add_option("--by", options->by,
                  "who acts, for the journal and the record (default $USER); with login = "
                  "required in ffsload.conf, a technician's or engineer's id, whose PIN is asked");
  sub->add_option("--pin-fd", options->pin_fd,
                  "with login = required: read the PIN of --by from descriptor N (one line), "
                  "not the terminal")
      ->type_name("N");
  auto* why = sub->add_option("--reason", options->why,
                              "why, for the journal, the record and the audit trail (needed by "
                              "--restore-kept, and by every action with login = required)");
  // Its older name, which the line's scripts may still use.
  auto* old_why = sub->add_option("--why", options->why)->group("");
  why->excludes(old_why);
  sub->add_option("--records", options->records,
                  "where the settled run's record goes (as for run)");
  sub->footer(
      "Exit status: 0 listed or done, 1 the journal could not be changed (a run holds the port,\n"
      "or the disk refused), 2 bad usage or nothing to act on (an IMEI not pending, no damaged\n"
      "line).");
  sub->callback([options, port, keep, resolve, restore_kept, why, old_why, status] {
    const bool acts = keep->count() || resolve->count() || restore_kept->count();
    if (acts && !port->count()) {
      throw CLI::ValidationError(
          "pending", "--keep-aside, --restore-kept and --resolve-damaged need --port N");
    }
    if (port->count() && !acts) {
      throw CLI::ValidationError(
          "pending", "--port needs --keep-aside HEX, --restore-kept HEX or --resolve-damaged");
    }
    if (restore_kept->count() && (why->count() + old_why->count() == 0 || options->why.empty())) {
      throw CLI::ValidationError("pending",
                                 "--restore-kept needs --reason TEXT: the journal keeps the reason");
    }
    *status = act(*options);
  });
}

}  // namespace cli
