#include "run/mes_validation.h"

#include <csignal>

#include "cfx/station_lock.h"
#include "platform/child_process.h"
#include "platform/folders.h"
#include "station/station_settings.h"

namespace run {

namespace {

// Beyond the MES's own timeout, what a child needs to start and say so.
constexpr int kChildStartMs = 2000;

std::string in_folder(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "/" + name;
}

}  // namespace

cfx::MesVerdict ask_mes_through_sender(const std::string& station_folder, const std::string& serial,
                                       int port, int timeout_ms) {
  cfx::MesVerdict verdict;
  const std::string program = platform::sibling_program(kCfxProgram);
  if (program.empty()) {
    verdict.message = std::string(kCfxProgram) + " is missing beside " +
                      platform::program_folder() + ": the MES cannot be asked";
    return verdict;
  }
  std::string error;
  auto child =
      platform::start_child(program,
                            {"validate", "--serial", serial, "--port", std::to_string(port),
                             "--timeout-ms", std::to_string(timeout_ms)},
                            station_folder, {}, &error);
  if (!child) {
    verdict.message = "cannot start " + program + ": " + error;
    return verdict;
  }
  platform::close_fd(child->in_fd);
  std::string out, err;
  const long deadline = platform::monotonic_ms() + timeout_ms + kChildStartMs;
  bool ended = false;
  while (!ended) {
    const long left = deadline - platform::monotonic_ms();
    if (left <= 0) break;
    const int fds[] = {child->out_fd, child->err_fd};
    for (std::size_t i : platform::wait_readable(fds, static_cast<int>(left))) {
      char buffer[4096];
      const long n = platform::read_some(fds[i], buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? out : err).append(buffer, static_cast<std::size_t>(n));
      } else if (i == 0) {
        ended = true;  // its answer is whole
      } else {
        platform::close_fd(child->err_fd);
      }
    }
    if (out.find('\n') != std::string::npos) ended = true;
  }
  if (!ended) platform::signal_process(child->pid, SIGKILL);
  platform::reap_child(child->pid, true);
  platform::close_fd(child->out_fd);
  platform::close_fd(child->err_fd);
  if (!ended && out.find('\n') == std::string::npos) {
    verdict.kind = cfx::MesVerdict::Kind::kNoAnswer;
    verdict.message =
        "the MES did not answer within " + std::to_string((timeout_ms + 999) / 1000) + " s";
    return verdict;
  }
  verdict = cfx::parse_verdict_line(out.substr(0, out.find('\n')));
  if (verdict.kind == cfx::MesVerdict::Kind::kFailed && verdict.message.empty()) {
    while (!err.empty() && (err.back() == '\n' || err.back() == '\r')) err.pop_back();
    verdict.message = err.empty() ? std::string(kCfxProgram) + " gave no answer" : err;
  }
  return verdict;
}

RunGate gate_for_verdict(const cfx::MesVerdict& verdict, cfx::Validate validate,
                         const std::string& serial) {
  RunGate gate;
  if (verdict.kind == cfx::MesVerdict::Kind::kPassed || validate == cfx::Validate::kOff)
    return gate;
  const bool refusal = verdict.kind == cfx::MesVerdict::Kind::kRefused;
  const std::string what =
      refusal ? verdict.message + " (code " + std::to_string(verdict.code) + ")" : verdict.message;
  if (validate == cfx::Validate::kRequired) {
    gate.refused = true;
    gate.text = {"mes.refused", {serial, what}};
    return gate;
  }
  gate.text = {refusal ? "mes.disagreed_advisory" : "mes.no_answer_advisory", {serial, what}};
  return gate;
}

RunGate check_before_run(const RunContext& context) {
  RunGate gate;
  if (const auto lock = cfx::read_station_lock(context.station_folder)) {
    gate.refused = true;
    // The same words as cfx::station_lock_refusal, as a text the panels translate.
    gate.text =
        lock->requestor.empty()
            ? platform::OperatorText{"cfx.station_locked", {lock->reason}}
            : platform::OperatorText{"cfx.station_locked_by", {lock->reason, lock->requestor}};
    return gate;
  }
  const station::StationSettingsFile file = station::read_station_settings(
      in_folder(context.station_folder, station::kStationSettingsFile));
  const cfx::Settings& cfx = file.settings.cfx;
  if (!cfx.enabled || cfx.validate == cfx::Validate::kOff || !context.unit_serial ||
      context.unit_serial->empty())
    return gate;
  const cfx::MesVerdict verdict = ask_mes_through_sender(
      context.station_folder, *context.unit_serial, context.port, cfx.validate_timeout_s * 1000);
  return gate_for_verdict(verdict, cfx.validate, *context.unit_serial);
}

}  // namespace run
