#include "ui/command_line.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "link/link.h"
#include "platform/clock.h"
#include "platform/headless_ui.h"
#include "platform/port_names.h"
#include "platform/rs232.h"
#include "platform/run_panel.h"
#include "platform/text_format.h"
#include "platform/user_interface.h"
#include "script/runner.h"
#include "ui/customer_choice.h"
#include "ui/run_session.h"

namespace ui {

namespace {

struct RunOptions {
  int port = 0;
  std::string script;
  std::string customer;  // "N" or "N.S" as given
  std::string device;
  bool save = false;
  bool trace = false;
};

void install_trace() {
  static long last = platform::clock();
  wire::set_trace_sink([](bool outgoing, std::span<const std::uint8_t> bytes) {
    long now = platform::clock();
    std::string hex;
    for (std::uint8_t b : bytes) hex += platform::strprintf(" %02X", b);
    std::fprintf(stderr, "%s%s  (+%ld ms)\n", outgoing ? ">" : "<", hex.c_str(), now - last);
    last = now;
  });
}

int run(const RunOptions& o) {
  std::optional<std::pair<int, int>> customer;
  if (!o.customer.empty()) {
    customer = parse_customer_key(o.customer);
    if (!customer) {
      std::fprintf(stderr,
                   "ffsload: --customer takes N or N.S (N from -128 to 127, S one digit), "
                   "not \"%s\"\n",
                   o.customer.c_str());
      return kExitNoRun;
    }
  }

  platform::HeadlessUserInterface ui;
  ui.echo_run_log(platform::runPanel, platform::kRunLogControl, stdout);
  ui.echo_popups(stderr);
  platform::set_user_interface(&ui);
  if (o.trace) install_trace();

  if (!o.device.empty()) platform::set_device_override(o.port, o.device);
  comport = o.port;
  tmsfile = o.script;
  std::string ma_no;
  if (customer && !choose_customer(customer->first, customer->second, &ma_no)) {
    platform::set_user_interface(nullptr);
    return kExitNoRun;
  }
  const std::string device = platform::device_path_for_port(o.port);
  std::fprintf(stderr, "ffsload: port %d, device %s, script %s", o.port, device.c_str(),
               tmsfile.c_str());
  if (customer) std::fprintf(stderr, ", MA_NO \"%s\"", ma_no.c_str());
  std::fprintf(stderr, "\n");

  config_comport(comport);
  if (std::string why = platform::last_open_error(comport); !why.empty()) {
    // The run still goes ahead: its exchanges fail and the log says which.
    std::fprintf(stderr, "Error: cannot open port %d: %s\n", comport, why.c_str());
  }

  const RunResult result = run_script();
  int status = result.outcome == RunOutcome::kGreen ? kExitGreen
               : result.outcome == RunOutcome::kRed ? kExitRed
                                                    : kExitNoRun;
  if (o.save) {
    const SavedLog saved = save_run_log();
    if (saved.saved) {
      std::fprintf(stderr, "ffsload: run log saved to %s\n", saved.name.c_str());
    } else {
      std::fprintf(stderr, "Error: cannot write the run log file %s: %s\n", saved.name.c_str(),
                   saved.error.c_str());
      status = kExitNotSaved;
    }
  }
  platform::set_user_interface(nullptr);
  platform::close_all_ports();
  switch (result.outcome) {
    case RunOutcome::kGreen:
      std::fprintf(stderr, "ffsload: green: every command succeeded (%ld s)\n",
                   result.elapsed_seconds);
      break;
    case RunOutcome::kRed:
      std::fprintf(stderr, "ffsload: red: a command failed and stopped the script (%ld s)\n",
                   result.elapsed_seconds);
      break;
    case RunOutcome::kNoRun:
      std::fprintf(stderr, "ffsload: no run: the script could not be opened\n");
      break;
  }
  return status;
}

}  // namespace

void add_run_command(CLI::App& app, int* status) {
  auto options = std::make_shared<RunOptions>();
  CLI::App* sub = app.add_subcommand("run", "run one script against the handset on one port");
  sub->add_option("--port", options->port,
                  "serial port 1..8 (its device: a line \"N PATH\" of the file \"comports\" "
                  "in the current folder, else /dev/ttyS<N-1>)")
      ->required()
      ->check(CLI::Range(platform::kLowestPort, platform::kHighestPort));
  auto* script = sub->add_option("--script", options->script, "the .tms script to run");
  auto* customer = sub->add_option("--customer", options->customer,
                                   "the script of customer N, sub-number S (which counts only "
                                   "for the customer of the \"qm\" line), from \"custdefine\"");
  script->excludes(customer);
  sub->add_option("--device", options->device, "the device of the port, overriding the above");
  sub->add_flag("--save", options->save,
                "also save the run log to Download_MMDD-HHMMSS.txt (exit status 3 when it "
                "cannot be written)");
  sub->add_flag("--trace", options->trace,
                "print every frame on stderr, with the time since the last one");
  sub->footer("Exit status: 0 green, 1 red, 2 no run happened, 3 the log could not be saved.");
  sub->callback([options, script, customer, status] {
    if (script->count() + customer->count() != 1) {
      throw CLI::ValidationError("run", "needs one of --script and --customer");
    }
    *status = run(*options);
  });
}

}  // namespace ui
