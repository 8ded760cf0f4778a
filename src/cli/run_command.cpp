#include "cli/run_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cli/repeat_mode.h"
#include "cli/run_login.h"
#include "cli/station_people.h"
#include "cli/stop_on_signals.h"
#include "cli/trace_file.h"
#include "link/frame_trace.h"
#include "multiport/multi_port_run.h"
#include "platform/clock.h"
#include "platform/headless_ui.h"
#include "platform/run_panel.h"
#include "platform/serial_operations.h"
#include "platform/serial_port_config.h"
#include "platform/text_format.h"
#include "platform/user_interface.h"
#include "records/fixture_alarm.h"
#include "records/location.h"
#include "run/imei_journal.h"
#include "run/pending_imeis.h"
#include "run/recording.h"
#include "run/run_session.h"
#include "station/customer_choice.h"
#include "station/run_journal.h"
#include "station/station_settings.h"

namespace cli {

namespace {

struct RunOptions {
  int port = 0;
  std::string ports;  // "1,2,5-8": several ports at once
  std::string script;
  std::string customer;  // "N" or "N.S" as given
  std::string device;
  bool save = false;
  bool trace = false;
  std::string trace_file;  // empty: stderr
  bool check_reply_checksum = false;
  bool repeat = false;
  std::string records;
  std::string pending_imei;  // "restore", "restore=HEX", "keep-aside" or empty
  std::optional<std::string> unit;
  std::optional<std::string> operator_id;
  std::optional<int> pin_fd;  // the operator's PIN, when login = required
  // The login checked by this process, or by the one that started this
  // port's process (run --ports); null while login = off.
  std::shared_ptr<RunLogin> login;
};

// Tells the operator on stderr of the unit's attempt and of a fixture that
// fails unit after unit.
run::RunNotices stderr_notices() {
  run::RunNotices notices;
  notices.unit = [](const platform::OperatorText& text) {
    if (!text.empty()) std::fprintf(stderr, "ffsload: %s\n", text.english().c_str());
  };
  notices.alarm = [](int port, const records::FixtureAlarm& alarm) {
    if (!alarm.raised) return;
    std::fprintf(stderr, "ffsload: %s\n", records::fixture_alarm_text(port, alarm).c_str());
    for (const std::string& line : records::failing_line_texts(alarm)) {
      std::fprintf(stderr, "ffsload:   failing line %s\n", line.c_str());
    }
  };
  return notices;
}

// The station's settings and the unit and operator given: a message and
// false when no run may start.
bool identities_usable(const RunOptions& o, const station::StationSettings& settings) {
  if (o.unit) {
    std::string why =
        o.unit->empty() ? "--unit is empty" : station::unit_serial_problem(settings, *o.unit);
    if (!why.empty()) {
      std::fprintf(stderr, "ffsload: %s: no run\n", why.c_str());
      return false;
    }
  } else if (settings.unit_serial == station::Asking::kRequired && !o.repeat) {
    std::fprintf(stderr,
                 "ffsload: this station requires the unit's serial (unit-serial = required in "
                 "%s): give --unit SERIAL\n",
                 station::kStationSettingsFile);
    return false;
  }
  if (o.operator_id) {
    if (std::string why = station::operator_id_problem(*o.operator_id); !why.empty()) {
      std::fprintf(stderr, "ffsload: %s: no run\n", why.c_str());
      return false;
    }
  } else if (settings.login_required) {
    std::fprintf(stderr,
                 "ffsload: this station requires a login (login = required in %s): give "
                 "--operator ID and the PIN (--pin-fd N or the terminal)\n",
                 station::kStationSettingsFile);
    return false;
  } else if (settings.operator_id == station::Asking::kRequired) {
    std::fprintf(stderr,
                 "ffsload: this station requires the operator's id (operator = required in %s): "
                 "give --operator ID\n",
                 station::kStationSettingsFile);
    return false;
  }
  return true;
}

// Keeping a pending IMEI aside for good, asked within a run.
people::Action keep_aside_action(int port, const std::string& how) {
  people::Action action;
  action.needed = people::Role::kTechnician;
  action.what = "keep a pending IMEI aside on port " + std::to_string(port) + " (" + how + ")";
  action.why = "the handset on the fixture is not that IMEI's";
  action.before_state = "pending";
  action.after_state = "kept aside";
  return action;
}

// ", 2 replies with a wrong checksum" while tracing or when there were some.
std::string checksum_note(bool tracing, int wrong) {
  if (!tracing && wrong == 0) return {};
  return platform::strprintf(", %d %s with a wrong checksum", wrong,
                             wrong == 1 ? "reply" : "replies");
}

// As the windows take a scanned or typed serial or id: blanks and line
// ends around it are the scanner's, not the unit's.
void trim(std::optional<std::string>& text) {
  if (!text) return;
  const auto first = text->find_first_not_of(" \t\r\n");
  const auto last = text->find_last_not_of(" \t\r\n");
  *text = first == std::string::npos ? std::string() : text->substr(first, last - first + 1);
}

// The --pending-imei answer: nullopt without one; false after saying why
// the option cannot be taken.
bool read_pending_option(const RunOptions& o, std::optional<run::PendingOption>* option) {
  if (o.pending_imei.empty()) return true;
  std::string why;
  *option = run::parse_pending_option(o.pending_imei, &why);
  if (!*option) {
    std::fprintf(stderr, "ffsload: %s\n", why.c_str());
    return false;
  }
  // Keeping an IMEI aside for good is a technician's word.
  if (o.login && (*option)->kind == run::PendingOption::Kind::kKeepAside &&
      !o.login->may(keep_aside_action(o.port, "--pending-imei keep-aside"))) {
    return false;
  }
  // Naming an IMEI that is not pending here is a mistake, not an answer.
  if ((*option)->imei &&
      !run::imei_pending_in_station(station::station_folder(), *(*option)->imei)) {
    std::fprintf(stderr,
                 "ffsload: --pending-imei %s: that IMEI is not pending in this station "
                 "(\"ffsload pending\" lists the pending ones): no run\n",
                 o.pending_imei.c_str());
    return false;
  }
  return true;
}

// Everything the runs depend on, in one value, as the options and the
// station's settings give it.
run::RunContext context_of(const RunOptions& o, const station::StationSettings& settings) {
  run::RunContext context;
  context.port = o.port;
  context.device = o.device;
  context.script = o.script;
  context.records_option = o.records;
  context.fixture_alarm_runs = settings.fixture_alarm;
  context.cfx = settings.cfx;
  context.operator_id = o.operator_id;
  context.unit_serial = o.unit;
  context.notices = stderr_notices();
  context.check_reply_checksum =
      o.check_reply_checksum || platform::comports_checks_reply_checksum();
  // run --ports and the grid name themselves to their ports' runs.
  const char* front_end = std::getenv(station::kFrontEndVariable);
  context.front_end = front_end && *front_end ? front_end : o.repeat ? "repeat" : "run";
  return context;
}

// The selection panel's road: the customer's script and "MA_NO" into the
// context, or false after the message box, when no run can happen (that
// run's record says so).
bool choose_customer(const std::pair<int, int>& customer, run::RunContext& context) {
  const station::CustomerChoice chosen = station::choose_customer(customer.first, customer.second);
  // The key as the choice read it, "N.S" for the customer of the "qm" line;
  // without "custdefine", as given.
  context.customer_key = !chosen.key.empty()
                             ? chosen.key
                             : station::customer_key(customer.first, customer.second, 0);
  if (!chosen.error.empty()) {
    run::record_no_run(context);
    return false;
  }
  context.script = chosen.script;
  context.ma_no = chosen.ma_no;
  return true;
}

int exit_status_of(const run::RunResult& result) {
  return result.outcome == run::RunOutcome::kGreen ? kExitGreen
         : result.outcome == run::RunOutcome::kRed ? kExitRed
                                                   : kExitNoRun;
}

// Runs the context once, or unit after unit in repeat mode: the last run's
// result and exit status.
std::pair<run::RunResult, int> run_units(const RunOptions& o,
                                         const station::StationSettings& settings,
                                         const run::RunContext& context, RepeatMode& repeat,
                                         wire::FrameTrace* trace, bool* trail_refused) {
  run::RunResult result;
  int status = kExitNoRun;
  const bool asks_unit = o.repeat && settings.unit_serial != station::Asking::kOff;
  std::optional<std::string> unit = o.unit;
  bool more = true;
  if (asks_unit && !unit) more = repeat.next_unit(settings, &unit);
  while (more) {
    // Every run starts from the same options; the copies share what the
    // process keeps from run to run (IMEI_flag).
    run::RunContext this_run = context;
    this_run.unit_serial = unit;
    if (trace) trace->restart(repeat.run_number());
    // The audit trail keeps the run's start before the handset is touched.
    if (o.login && !o.login->run_starts(this_run)) {
      *trail_refused = true;
      break;
    }
    result = run::run_script(this_run);
    if (o.login) o.login->run_ended(this_run, result);
    status = exit_status_of(result);
    if (o.save) {
      const run::SavedLog saved = run::save_run_log();
      if (saved.saved) {
        std::fprintf(stderr, "ffsload: run log saved to %s\n", saved.name.c_str());
      } else {
        std::fprintf(stderr, "Error: cannot write the run log file %s: %s\n", saved.name.c_str(),
                     saved.error.c_str());
        status = kExitNotSaved;
      }
    }
    repeat.summarise(result);
    // A unit's serial is never carried to the next unit.
    unit.reset();
    more = asks_unit ? repeat.next_unit(settings, &unit) : repeat.next();
    if (more && o.login && o.login->idled_out(now_ms())) {
      std::fprintf(stderr,
                   "ffsload: logged out: no run for more than %d minutes (login-idle in %s); "
                   "log in again to go on\n",
                   settings.login_idle_minutes, station::kStationSettingsFile);
      o.login->log_out("idle for more than " + std::to_string(settings.login_idle_minutes) +
                       " minutes");
      break;
    }
  }
  return {result, status};
}

// The last stderr line: how the last run ended, or why none did.
void tell_outcome(const run::RunResult& result, const std::string& checksums) {
  switch (result.outcome) {
    case run::RunOutcome::kGreen:
      std::fprintf(stderr, "ffsload: green: every command succeeded (%ld s%s)\n",
                   result.elapsed_seconds, checksums.c_str());
      break;
    case run::RunOutcome::kRed:
      std::fprintf(stderr, "ffsload: red: a command failed and stopped the script (%ld s%s)\n",
                   result.elapsed_seconds, checksums.c_str());
      break;
    case run::RunOutcome::kNoRun:
      std::fprintf(stderr, "ffsload: no run: %s\n",
                   result.port_in_use       ? "the port is in use by another run"
                   : result.refusal.empty() ? "the script could not be opened"
                                            : "refused before the handset was touched");
      break;
  }
}

int run(RunOptions o) {
  trim(o.unit);
  trim(o.operator_id);
  const station::StationSettingsFile settings_file = station::read_station_settings();
  if (const std::string refusal = settings_file.refusal(); !refusal.empty()) {
    std::fprintf(stderr, "ffsload: %s\n", refusal.c_str());
    return kExitNoRun;
  }
  const station::StationSettings& settings = settings_file.settings;
  if (!identities_usable(o, settings)) return kExitNoRun;
  // Who runs, checked before the port is opened; the command's logout when
  // this process logged in.
  const bool own_login = settings.login_required && !o.login;
  if (own_login) {
    o.login = RunLogin::log_in(station_people(o.records, settings), *o.operator_id, o.pin_fd,
                               settings.login_idle_minutes);
    if (!o.login) return kExitNoRun;
  }
  struct LogOut {
    std::shared_ptr<RunLogin> login;
    ~LogOut() {
      if (login) login->log_out("the command ended");
    }
  } log_out_at_end{own_login ? o.login : nullptr};
  if (o.login) o.operator_id = o.login->person();
  std::optional<std::pair<int, int>> customer;
  if (!o.customer.empty()) {
    customer = station::parse_customer_key(o.customer);
    if (!customer) {
      std::fprintf(stderr,
                   "ffsload: --customer takes N or N.S (N from -128 to 127, S one digit), "
                   "not \"%s\"\n",
                   o.customer.c_str());
      return kExitNoRun;
    }
  }
  std::optional<run::PendingOption> pending_option;
  if (!read_pending_option(o, &pending_option)) return kExitNoRun;

  install_run_interruption();
  platform::HeadlessUserInterface ui;
  ui.echo_run_log(platform::run_panel(), platform::kRunLogControl, stdout);
  ui.echo_popups(stderr);
  platform::set_user_interface(&ui);
  run::RunContext context = context_of(o, settings);
  if (customer && !choose_customer(*customer, context)) {
    platform::set_user_interface(nullptr);
    return kExitNoRun;
  }
  // Opened once the script is known: a trace must not be the script or a
  // file it names.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> trace_out(nullptr, std::fclose);
  if (o.trace && !o.trace_file.empty()) {
    std::string why;
    trace_out.reset(cli::open_trace_file(o.trace_file, context.script, o.port, &why));
    if (!trace_out) {
      std::fprintf(stderr, "ffsload: cannot write the trace file %s: %s\n", o.trace_file.c_str(),
                   why.c_str());
      platform::set_user_interface(nullptr);
      return kExitNoRun;
    }
  }
  std::optional<wire::FrameTrace> trace;
  if (o.trace) {
    trace.emplace(trace_out ? trace_out.get() : stderr);
    context.trace = trace->sink();
  }
  const std::string device = o.device.empty() ? platform::device_path_for_port(o.port) : o.device;
  std::fprintf(stderr, "ffsload: port %d, device %s, script %s", o.port, device.c_str(),
               context.script.c_str());
  if (customer) std::fprintf(stderr, ", MA_NO \"%s\"", context.ma_no.c_str());
  std::fprintf(stderr, "\n");

  // Each run opens the port when it has no working device (the first run,
  // or after an adapter was pulled); one that cannot be opened is named on
  // stderr and the run still goes ahead: its exchanges fail and the log says which.
  RepeatMode repeat(o.repeat, stdin, stdout, stderr);
  // An IMEI left pending by a run that died, on a handset without one: the
  // option answers for this one run; the repeat mode asks at the terminal.
  if (o.repeat) {
    const std::shared_ptr<RunLogin> login = o.login;
    const int port = o.port;
    context.pending_answer = [&repeat, login, port](const fs::PendingImei&,
                                                    const std::vector<fs::PendingImei>&,
                                                    const std::string& question) {
      const fs::PendingAnswer answer = repeat.ask_pending_imei(question);
      // An answer that keeps the IMEI aside for good needs a technician:
      // otherwise nobody answered, and the run stops before any format.
      if (answer == fs::PendingAnswer::kKeepAside && login &&
          !login->may(keep_aside_action(port, "the answer at the terminal"))) {
        return fs::PendingAnswer::kNoAnswer;
      }
      return answer;
    };
  } else if (pending_option) {
    context.pending_answer = run::answer_from_option(*pending_option);
    context.named_pending_imei = pending_option->imei;
  }
  bool trail_refused = false;  // the audit trail could not keep a run's start
  const auto [result, status] =
      run_units(o, settings, context, repeat, trace ? &*trace : nullptr, &trail_refused);
  trace.reset();
  const std::string checksums = checksum_note(o.trace, result.reply_checksum_mismatches);
  platform::set_user_interface(nullptr);
  platform::close_all_ports();
  if (const int signal_number = stop_signal(); signal_number != 0) {
    std::fprintf(stderr, "%s\n", stopped_run_report(signal_number, result).c_str());
    return exit_status_for_signal(signal_number);
  }
  if (trail_refused) return kExitNoRun;
  if (repeat.run_number() == 1) {
    std::fprintf(stderr, "ffsload: no run: no unit was given\n");
    return kExitNoRun;
  }
  tell_outcome(result, checksums);
  return status;
}

}  // namespace

bool records_usable(const std::string& option) {
  const records::Location location = records::resolve_location(option);
  const std::string problem = records::location_problem(location.url, records::outbox_location());
  if (problem.empty()) return true;
  std::fprintf(stderr, "ffsload: %s\n", problem.c_str());
  return false;
}

void add_run_command(CLI::App& app, int* status) {
  auto options = std::make_shared<RunOptions>();
  CLI::App* sub = app.add_subcommand("run", "run one script against the handset on one port");
  auto* port = sub->add_option("--port", options->port,
                               "serial port 1..8 (its device: a line \"N PATH\" of the file "
                               "\"comports\" in the current folder, else /dev/ttyS<N-1>)")
                   ->check(CLI::Range(platform::kLowestPort, platform::kHighestPort));
  auto* ports = sub->add_option("--ports", options->ports,
                                "several ports at once, e.g. 1,2,5-8: each in its own process "
                                "and its own folder ports/N; lines show as \"[N] LINE\"");
  port->excludes(ports);
  auto* script = sub->add_option("--script", options->script, "the .tms script to run");
  auto* customer = sub->add_option("--customer", options->customer,
                                   "the script of customer N, sub-number S (which counts only "
                                   "for the customer of the \"qm\" line), from \"custdefine\"");
  script->excludes(customer);
  auto* device =
      sub->add_option("--device", options->device, "the device of the port, overriding the above");
  device->excludes(ports);
  sub->add_flag("--save", options->save,
                "also save the run log to Download_MMDD-HHMMSS.txt (exit status 3 when it "
                "cannot be written)");
  auto* trace = sub->add_option("--trace", options->trace_file,
                                "write every frame out and in, decoded, to FILE (no FILE: stderr)");
  trace->expected(0, 1)->type_name("[FILE]");
  sub->add_flag("--check-reply-checksum", options->check_reply_checksum,
                "fail a reply whose checksum breaks the XOR rule of requests, like a garbled one "
                "(also on with a line \"check-reply-checksum\" in \"comports\")");
  auto* repeat =
      sub->add_flag("--repeat", options->repeat,
                    "after each run, wait for Enter to run again on the next handset (q or end of "
                    "input quits); exit status of the last run");
  auto* pending = sub->add_option(
      "--pending-imei", options->pending_imei,
      "when an IMEI is pending in the station (a run stopped after the format, before the IMEI "
      "write-back, by a power cut or kill -9) and this handset has no valid IMEI: \"restore\" "
      "says it is that handset and gives the IMEI back; \"keep-aside\" says it is another and "
      "keeps the IMEI aside; both only when one IMEI is pending (that is not this unit's by its "
      "serial). With several, \"restore=HEX\" names the one that is this handset's; a HEX "
      "that the unit's serial contradicts stops the run. \"restore\" also confirms a unit "
      "whose IMEI is pending from another port. Without it such a run stops before any format. "
      "No effect when none is pending");
  pending->type_name("restore|restore=HEX|keep-aside");
  pending->excludes(repeat);
  auto* unit = sub->add_option(
      "--unit", options->unit,
      "the serial of the unit (handset) on the fixture, for its record; checked against "
      "\"unit-serial-pattern\" of ffsload.conf (with --repeat: the first run's, later ones are "
      "asked for)");
  unit->excludes(ports);
  sub->add_option("--operator", options->operator_id,
                  "the operator's id for the record; with login = required in ffsload.conf, a "
                  "person's id or badge, whose PIN is asked (else a name on the record, not a "
                  "login)");
  sub->add_option("--pin-fd", options->pin_fd,
                  "with login = required: read the operator's PIN from descriptor N (one "
                  "line), not the terminal")
      ->type_name("N");
  sub->add_option("--records", options->records,
                  "where the run's record goes: a SQLite file or a postgresql:// URL (default: "
                  "$FFSLOAD_RECORDS, else \"records = URL\" in ffsload.conf, else runs.sqlite)");
  sub->footer(
      "Exit status: 0 green, 1 red, 2 no run happened, 3 the log could not be saved, 130 or 143\n"
      "stopped by SIGINT or SIGTERM (the first stops after the current command, but never\n"
      "between a format and the IMEI write-back; a second ends at once).");
  sub->callback([options, script, customer, port, ports, trace, repeat, status] {
    if (script->count() + customer->count() != 1) {
      throw CLI::ValidationError("run", "needs one of --script and --customer");
    }
    if (port->count() + ports->count() != 1) {
      throw CLI::ValidationError("run", "needs one of --port and --ports");
    }
    options->trace = trace->count() > 0;
    if (!records_usable(options->records)) {
      *status = kExitNoRun;
      return;
    }
    if (ports->count() == 0) {
      *status = run(*options);
      return;
    }
    std::string error;
    const auto list = multiport::parse_port_list(options->ports, &error);
    if (!list) throw CLI::ValidationError("--ports", error);
    std::vector<std::string> child_args;
    if (script->count()) child_args = {"--script", options->script};
    if (customer->count()) child_args = {"--customer", options->customer};
    if (options->save) child_args.push_back("--save");
    if (repeat->count()) throw CLI::ValidationError("--repeat", "works on one port at a time");
    if (options->trace && options->trace_file.empty()) child_args.push_back("--trace");
    if (options->check_reply_checksum) child_args.push_back("--check-reply-checksum");
    if (options->operator_id) child_args.push_back("--operator=" + *options->operator_id);
    const station::StationSettingsFile settings = station::read_station_settings();
    if (const std::string refusal = settings.refusal(); !refusal.empty()) {
      std::fprintf(stderr, "ffsload: %s\n", refusal.c_str());
      *status = kExitNoRun;
      return;
    }
    if (settings.settings.unit_serial == station::Asking::kRequired) {
      std::fprintf(stderr,
                   "ffsload: this station requires each unit's serial: run one port with --port "
                   "N --unit SERIAL, or use the station grid\n");
      *status = kExitNoRun;
      return;
    }
    // An IMEI named is one port's: on the others it would be a mistake.
    if (options->pending_imei.starts_with("restore=") && list->size() != 1) {
      throw CLI::ValidationError("--pending-imei",
                                 "restore=HEX names one port's pending IMEI: give one port");
    }
    if (!options->pending_imei.empty())
      child_args.push_back("--pending-imei=" + options->pending_imei);
    // One login for every port, before any port is opened; each port's
    // process (a copy of this one) writes its own runs' events.
    if (settings.settings.login_required) {
      trim(options->operator_id);
      if (!options->operator_id || options->operator_id->empty()) {
        std::fprintf(stderr,
                     "ffsload: this station requires a login (login = required in %s): give "
                     "--operator ID and the PIN (--pin-fd N or the terminal)\n",
                     station::kStationSettingsFile);
        *status = kExitNoRun;
        return;
      }
      options->login =
          RunLogin::log_in(station_people(options->records, settings.settings),
                           *options->operator_id, options->pin_fd,
                           settings.settings.login_idle_minutes);
      if (!options->login) {
        *status = kExitNoRun;
        return;
      }
    }
    // Each port traces into a file of its own, beside the one named.
    const std::string trace_base =
        options->trace_file.empty() ? "" : std::filesystem::absolute(options->trace_file).string();
    // Each port's child is a copy of this process that runs its port with
    // these options, as "run --port N" given child_args would: the records
    // come by the environment, the trace goes to a file of the port's own.
    const auto run_port = [options, trace_base](int port_number) {
      RunOptions one = *options;
      one.port = port_number;
      one.ports.clear();
      one.records.clear();
      if (!trace_base.empty()) one.trace_file = trace_base + "." + std::to_string(port_number);
      return run(one);
    };
    *status = multiport::run_on_ports(*list, child_args, trace_base, options->records, run_port);
    if (options->login) options->login->log_out("the command ended");
  });
}

}  // namespace cli
