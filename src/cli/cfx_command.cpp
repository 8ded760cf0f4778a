#include "cli/cfx_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/run_command.h"
#include "platform/child_process.h"
#include "platform/folders.h"
#include "run/mes_validation.h"

namespace cli {

namespace {

struct CfxOptions {
  bool status = false;
  bool exit_when_busy = false;
  bool as_folder_owner = false;
};

int hand_to_sender(const CfxOptions& o) {
  const std::string program = platform::sibling_program(run::kCfxProgram);
  if (program.empty()) {
    const std::string folder = platform::program_folder();
    std::fprintf(stderr,
                 "ffsload: the sender program %s is missing: looked in %s, %s/../bin and "
                 "%s/../libexec\n",
                 run::kCfxProgram, folder.c_str(), folder.c_str(), folder.c_str());
    return kExitNoRun;
  }
  std::vector<std::string> args{program};
  if (o.status) {
    args.push_back("status");
  } else {
    args.push_back("serve");
    if (o.exit_when_busy) args.push_back("--exit-when-busy");
    if (o.as_folder_owner) args.push_back("--as-folder-owner");
  }
  // Replaced, not a child: a service manager's SIGTERM reaches the sender
  // itself, which then says EndpointShuttingDown.
  const std::string why = platform::replace_process(program, args);
  std::fprintf(stderr, "ffsload: cannot start the sender program %s: %s\n", program.c_str(),
               why.c_str());
  return kExitNoRun;
}

}  // namespace

void add_cfx_command(CLI::App& app, int* status) {
  auto options = std::make_shared<CfxOptions>();
  CLI::App* sub = app.add_subcommand(
      "cfx",
      "deliver this station's IPC-CFX messages to the factory's broker and answer the MES "
      "(cfx-* settings in ffsload.conf), until SIGTERM or Ctrl-C");
  sub->add_flag("--status", options->status,
                "show the broker, the messages waiting, the oldest, those set aside, the last "
                "delivered and the MES's lock, and exit");
  sub->add_flag("--exit-when-busy", options->exit_when_busy,
                "exit (status 2) when another sender serves this station folder, instead of "
                "waiting until it stops");
  sub->add_flag("--as-folder-owner", options->as_folder_owner,
                "started as root (the systemd unit): run as the user who owns the station "
                "folder, and refuse a folder that is root's");
  sub->callback([options, status] { *status = hand_to_sender(*options); });
}

}  // namespace cli
