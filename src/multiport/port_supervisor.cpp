#include "multiport/port_supervisor.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include "platform/child_process.h"
#include "platform/stop_signals.h"

namespace multiport {

namespace {

using platform::close_fd;
using platform::monotonic_ms;

// A line longer than this is handed on in pieces: a child that prints
// without line ends must not grow the supervisor's memory without end.
constexpr std::size_t kLongestLine = 4096;

}  // namespace
std::string describe_end(const ChildEnd& end) {
  if (end.hung) return "hung: no output for too long, ended";
  if (end.signal_number != 0) {
    const char* name = strsignal(end.signal_number);
    return std::string(end.signal_number == SIGKILL || end.signal_number == SIGTERM ? "killed"
                                                                                    : "crashed") +
           " (" + (name ? name : "signal") + ")";
  }
  return "exit status " + std::to_string(end.exit_code);
}

void catch_stop_signals() {
  // Not restarted: the supervisor's wait ends at once and hands the signal on.
  platform::catch_stop_signals(/*restart=*/false);
}

PortSupervisor::PortSupervisor(LineSink on_line, EndSink on_end)
    : on_line_(std::move(on_line)), on_end_(std::move(on_end)) {}

PortSupervisor::~PortSupervisor() {
  for (auto& [port, child] : children_) {
    platform::signal_process(child.pid, SIGKILL);
    platform::reap_child(child.pid, /*block=*/true);
    close_fd(child.out_fd);
    close_fd(child.err_fd);
    close_fd(child.in_fd);
  }
}

bool PortSupervisor::start(int port, const std::string& program,
                           const std::vector<std::string>& args, const std::string& cwd,
                           std::string* error) {
  if (running(port)) {
    *error = "port " + std::to_string(port) + " is already running";
    return false;
  }
  return watch(port, platform::start_child(program, args, cwd, child_environment_, error));
}

bool PortSupervisor::start_function(int port, const std::function<int()>& body,
                                    const std::string& cwd, std::string* error) {
  if (running(port)) {
    *error = "port " + std::to_string(port) + " is already running";
    return false;
  }
  return watch(port, platform::start_child_function(body, cwd, child_environment_, error));
}

bool PortSupervisor::watch(int port, const std::optional<platform::ChildPipes>& pipes) {
  if (!pipes) return false;
  Child child;
  child.pid = pipes->pid;
  child.out_fd = pipes->out_fd;
  child.err_fd = pipes->err_fd;
  child.in_fd = pipes->in_fd;
  child.last_output_ms = monotonic_ms();
  children_[port] = std::move(child);
  return true;
}

bool PortSupervisor::send(int port, const std::string& text) {
  auto it = children_.find(port);
  if (it == children_.end() || it->second.in_fd < 0) return false;
  return platform::write_to_child(it->second.in_fd, text);
}

void PortSupervisor::watch_silence(int port, bool on) {
  auto it = children_.find(port);
  if (it == children_.end()) return;
  it->second.watched = on;
  it->second.last_output_ms = monotonic_ms();
}

void PortSupervisor::signal_all(int signal_number) {
  for (auto& [port, child] : children_) platform::signal_process(child.pid, signal_number);
}

void PortSupervisor::signal_port(int port, int signal_number) {
  auto it = children_.find(port);
  if (it != children_.end()) platform::signal_process(it->second.pid, signal_number);
}

void PortSupervisor::kill_port(int port) {
  auto it = children_.find(port);
  if (it != children_.end()) platform::signal_process(it->second.pid, SIGKILL);
}

void PortSupervisor::drain(int port, Child& child, bool from_stderr) {
  int& fd = from_stderr ? child.err_fd : child.out_fd;
  std::string& partial = from_stderr ? child.err_partial : child.out_partial;
  char buf[4096];
  const long n = platform::read_some(fd, buf, sizeof buf);
  if (n < 0 && errno == EINTR) return;
  if (n <= 0) {
    if (!partial.empty()) on_line_(port, from_stderr, partial);
    partial.clear();
    close_fd(fd);
    return;
  }
  child.last_output_ms = monotonic_ms();
  partial.append(buf, static_cast<std::size_t>(n));
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = partial.find('\n', start);
    if (end == std::string::npos) break;
    on_line_(port, from_stderr, partial.substr(start, end - start));
    start = end + 1;
  }
  partial.erase(0, start);
  while (partial.size() > kLongestLine) {
    on_line_(port, from_stderr, partial.substr(0, kLongestLine));
    partial.erase(0, kLongestLine);
  }
}

void PortSupervisor::reap(int port, Child& child, const platform::ChildExit& exit) {
  ChildEnd end;
  end.exit_code = exit.exit_code;
  end.signal_number = exit.signal_number;
  end.hung = child.killed_for_silence;
  close_fd(child.out_fd);
  close_fd(child.err_fd);
  close_fd(child.in_fd);
  children_.erase(port);
  on_end_(port, end);
}

void PortSupervisor::poll_once(int timeout_ms) {
  std::vector<int> fds;
  std::vector<std::pair<int, bool>> owners;  // port, stderr?
  for (auto& [port, child] : children_) {
    if (child.out_fd >= 0) {
      fds.push_back(child.out_fd);
      owners.emplace_back(port, false);
    }
    if (child.err_fd >= 0) {
      fds.push_back(child.err_fd);
      owners.emplace_back(port, true);
    }
  }
  if (!fds.empty()) {
    for (std::size_t i : platform::wait_readable(fds, timeout_ms)) {
      auto it = children_.find(owners[i].first);
      if (it != children_.end()) drain(it->first, it->second, owners[i].second);
    }
  } else if (!children_.empty() && timeout_ms > 0) {
    // Both pipes closed: only the exit is left to wait for, and it follows
    // within moments; a short nap keeps a finished port's end from waiting.
    platform::nap_ms(std::min(timeout_ms, 5));
  }

  const long now = monotonic_ms();
  std::vector<int> ports;
  for (auto& [port, child] : children_) ports.push_back(port);
  for (int port : ports) {
    Child& child = children_[port];
    if (silence_limit_ms_ > 0 && child.watched && !child.killed_for_silence &&
        now - child.last_output_ms > silence_limit_ms_) {
      child.killed_for_silence = true;
      platform::signal_process(child.pid, SIGKILL);
    }
    // An end counts once its output has been read to the last line.
    if (child.out_fd >= 0 || child.err_fd >= 0) {
      if (!child.killed_for_silence) continue;
    }
    if (auto end = platform::reap_child(child.pid, /*block=*/child.killed_for_silence)) {
      reap(port, child, *end);
    }
  }
}

}  // namespace multiport
