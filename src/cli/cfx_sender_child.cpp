#include "cli/cfx_sender_child.h"

#include <csignal>
#include <cstdio>

#include "platform/child_process.h"
#include "platform/folders.h"
#include "run/mes_validation.h"
#include "station/station_settings.h"

namespace cli {

namespace {

// The sender's own drain on stop is 5 s; beyond this it is ended.
constexpr long kStopWaitMs = 8000;

}  // namespace

CfxSenderWhileOpen::CfxSenderWhileOpen(const std::string& station_folder) {
  const std::string conf = station_folder.empty()
                               ? std::string(station::kStationSettingsFile)
                               : station_folder + "/" + station::kStationSettingsFile;
  const station::StationSettingsFile file = station::read_station_settings(conf);
  if (!file.settings.cfx.enabled) return;
  const std::string program = platform::sibling_program(run::kCfxProgram);
  if (program.empty()) {
    std::fprintf(stderr,
                 "ffsload: cfx-broker is set but the sender program %s is missing beside %s: "
                 "messages wait in the station's queue\n",
                 run::kCfxProgram, platform::program_folder().c_str());
    return;
  }
  std::string error;
  auto child = platform::start_child(program, {"serve"}, station_folder, {}, &error);
  if (!child) {
    std::fprintf(stderr, "ffsload: cannot start the sender %s: %s\n", program.c_str(),
                 error.c_str());
    return;
  }
  // Nothing reads its pipes: closed, its lines fail quietly instead of
  // filling a pipe and holding it up. "ffsload cfx --status" tells its state.
  platform::close_fd(child->in_fd);
  platform::close_fd(child->out_fd);
  platform::close_fd(child->err_fd);
  pid_ = child->pid;
}

CfxSenderWhileOpen::~CfxSenderWhileOpen() {
  if (pid_ <= 0) return;
  platform::signal_process(pid_, SIGTERM);
  const long deadline = platform::monotonic_ms() + kStopWaitMs;
  while (!platform::reap_child(pid_, false)) {
    if (platform::monotonic_ms() >= deadline) {
      platform::signal_process(pid_, SIGKILL);
      platform::reap_child(pid_, true);
      break;
    }
    platform::nap_ms(50);
  }
}

}  // namespace cli
