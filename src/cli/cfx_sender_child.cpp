#include "cli/cfx_sender_child.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string_view>

#include "platform/child_process.h"
#include "platform/folders.h"
#include "run/mes_validation.h"
#include "station/station_settings.h"

namespace cli {

namespace {

// The sender's own drain on stop is 5 s; beyond this it is ended.
constexpr long kStopWaitMs = 8000;

std::string how_it_ended(const platform::ChildExit& e) {
  if (e.signal_number) return "signal " + std::to_string(e.signal_number);
  return "status " + std::to_string(e.exit_code);
}

// The sender's line without its name, for the operator's notice.
std::string without_program_name(const std::string& line) {
  constexpr std::string_view kName = "ffsload-cfx: ";
  return line.rfind(kName, 0) == 0 ? line.substr(kName.size()) : line;
}

}  // namespace

CfxSenderWhileOpen::CfxSenderWhileOpen(const std::string& station_folder)
    : folder_(station_folder) {
  const std::string conf = station_folder.empty()
                               ? std::string(station::kStationSettingsFile)
                               : station_folder + "/" + station::kStationSettingsFile;
  const station::StationSettingsFile file = station::read_station_settings(conf);
  if (!file.settings.cfx.enabled) return;
  program_ = platform::sibling_program(run::kCfxProgram);
  if (program_.empty()) {
    std::fprintf(stderr,
                 "ffsload: cfx-broker is set but the sender program %s is missing beside %s: "
                 "messages wait in the station's queue\n",
                 run::kCfxProgram, platform::program_folder().c_str());
    notice_ = {"cfx.sender_missing", {run::kCfxProgram}};
    return;
  }
  args_ = {"serve"};
  begin();
}

CfxSenderWhileOpen::CfxSenderWhileOpen(std::string program, std::vector<std::string> args,
                                       std::string folder, Watch watch)
    : program_(std::move(program)),
      args_(std::move(args)),
      folder_(std::move(folder)),
      watch_(watch) {
  begin();
}

void CfxSenderWhileOpen::begin() {
  // Watched even when the first start failed: the next may not.
  start_child();
  thread_ = std::thread([this] { watch(); });
}

bool CfxSenderWhileOpen::start_child() {
  std::string error;
  auto child = platform::start_child(program_, args_, folder_, {}, &error);
  std::lock_guard<std::mutex> hold(mutex_);
  if (!child) {
    problem_ = "cannot start the sender " + program_ + ": " + error;
    notice_ = {"cfx.sender_cannot_run", {error}};
    std::fprintf(stderr, "ffsload: %s\n", problem_.c_str());
    return false;
  }
  // Its standard error is read for the reason of a stop; nothing else is.
  platform::close_fd(child->in_fd);
  platform::close_fd(child->out_fd);
  err_fd_ = child->err_fd;
  pid_ = child->pid;
  ++starts_;
  problem_.clear();
  last_line_.clear();
  return true;
}

void CfxSenderWhileOpen::said(const std::string& text) {
  // The last complete line the child said, kept for the reason of a stop.
  static constexpr std::size_t kLongest = 300;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    if (i > start) last_line_ = text.substr(start, std::min(i - start, kLongest));
    start = i + 1;
  }
}

void CfxSenderWhileOpen::watch() {
  long backoff = watch_.first_backoff_ms;
  long started_at = platform::monotonic_ms();
  std::string pending;
  while (!stop_) {
    int fd;
    pid_t pid;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      fd = err_fd_;
      pid = pid_;
    }
    const int fds[] = {fd};
    if (fd >= 0 && !platform::wait_readable(fds, watch_.poll_ms).empty()) {
      char buffer[4096];
      const long n = platform::read_some(fd, buffer, sizeof buffer);
      if (n > 0) {
        pending.append(buffer, static_cast<std::size_t>(n));
        std::lock_guard<std::mutex> hold(mutex_);
        said(pending);
        if (const auto nl = pending.rfind('\n'); nl != std::string::npos) pending.erase(0, nl + 1);
        if (pending.size() > 4096) pending.clear();
      } else if (n == 0) {
        std::lock_guard<std::mutex> hold(mutex_);
        platform::close_fd(err_fd_);
      }
    } else if (fd < 0) {
      platform::nap_ms(watch_.poll_ms);
    }
    if (stop_) break;
    if (pid > 0) {
      const auto ended = platform::reap_child(pid, false);
      if (!ended) {
        // Running: a stop said before is taken back once it has run a while.
        if (platform::monotonic_ms() - started_at >= watch_.notice_kept_ms) {
          std::lock_guard<std::mutex> hold(mutex_);
          notice_ = {};
        }
        continue;
      }
      // The sender stopped on its own: said with its reason, started again.
      const long ran = platform::monotonic_ms() - started_at;
      if (ran >= watch_.healthy_after_ms) backoff = watch_.first_backoff_ms;
      std::lock_guard<std::mutex> hold(mutex_);
      platform::close_fd(err_fd_);
      pid_ = -1;
      problem_ = "the sender " + program_ + " stopped (" + how_it_ended(*ended) + ")";
      if (!last_line_.empty()) problem_ += ": " + last_line_;
      std::string why = how_it_ended(*ended);
      if (!last_line_.empty()) why += ": " + without_program_name(last_line_);
      notice_ = {ran < watch_.healthy_after_ms ? "cfx.sender_cannot_run" : "cfx.sender_stopped",
                 {why}};
      std::fprintf(stderr,
                   "ffsload: %s; %s; messages wait in the station's queue; starting it again in "
                   "%ld s\n",
                   problem_.c_str(),
                   ran < watch_.healthy_after_ms ? "it cannot run" : "it had been running",
                   (backoff + 999) / 1000);
    }
    const long due = platform::monotonic_ms() + backoff;
    while (!stop_ && platform::monotonic_ms() < due) platform::nap_ms(watch_.poll_ms);
    backoff = std::min(backoff * 2, watch_.max_backoff_ms);
    if (stop_) break;
    started_at = platform::monotonic_ms();
    pending.clear();
    if (start_child())
      std::fprintf(stderr, "ffsload: the sender %s started again\n", program_.c_str());
  }
}

bool CfxSenderWhileOpen::running() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return pid_ > 0;
}

pid_t CfxSenderWhileOpen::pid() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return pid_;
}

int CfxSenderWhileOpen::starts() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return starts_;
}

std::string CfxSenderWhileOpen::problem() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return problem_;
}

platform::OperatorText CfxSenderWhileOpen::notice() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return notice_;
}

CfxSenderWhileOpen::~CfxSenderWhileOpen() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  platform::close_fd(err_fd_);
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
