#include "ui/port_supervisor.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

namespace ui {

namespace {

// Our own clock for the silence watch: the supervisor waits on real
// processes, whatever the logic's clock is.
long monotonic_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long>(ts.tv_sec) * 1000L + ts.tv_nsec / 1'000'000L;
}

// A line longer than this is handed on in pieces: a child that prints
// without line ends must not grow the supervisor's memory without end.
constexpr std::size_t kLongestLine = 4096;

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

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

void catch_stop_signals(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

PortSupervisor::PortSupervisor(LineSink on_line, EndSink on_end)
    : on_line_(std::move(on_line)), on_end_(std::move(on_end)) {}

PortSupervisor::~PortSupervisor() {
  for (auto& [port, child] : children_) {
    ::kill(child.pid, SIGKILL);
    ::waitpid(child.pid, nullptr, 0);
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
  int out[2], err[2], in[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return *error = std::strerror(errno), false;
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(out[0]), ::close(out[1]);
    return *error = std::strerror(errno), false;
  }
  if (::pipe2(in, O_CLOEXEC) != 0) {
    ::close(out[0]), ::close(out[1]), ::close(err[0]), ::close(err[1]);
    return *error = std::strerror(errno), false;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // Built before the fork: the child only calls what is safe after it.
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& [name, value] : child_environment_) {
      replaced = replaced || entry.starts_with(name + "=");
    }
    if (!replaced) environment.push_back(entry);
  }
  for (const auto& [name, value] : child_environment_) environment.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    // A child of its own process group: a Ctrl-C at the terminal reaches the
    // supervisor, which hands it on, and not the children twice.
    ::setpgid(0, 0);
    ::signal(SIGPIPE, SIG_DFL);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  ::close(in[0]);
  if (pid < 0) {
    *error = std::strerror(errno);
    ::close(out[0]), ::close(err[0]), ::close(in[1]);
    return false;
  }
  Child child;
  child.pid = pid;
  child.out_fd = out[0];
  child.err_fd = err[0];
  child.in_fd = in[1];
  child.last_output_ms = monotonic_ms();
  children_[port] = std::move(child);
  return true;
}

bool PortSupervisor::send(int port, const std::string& text) {
  auto it = children_.find(port);
  if (it == children_.end() || it->second.in_fd < 0) return false;
  // The child may be gone already: a failed write is not fatal here.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);
  const bool ok =
      ::write(it->second.in_fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::sigaction(SIGPIPE, &previous, nullptr);
  return ok;
}

void PortSupervisor::watch_silence(int port, bool on) {
  auto it = children_.find(port);
  if (it == children_.end()) return;
  it->second.watched = on;
  it->second.last_output_ms = monotonic_ms();
}

void PortSupervisor::signal_all(int signal_number) {
  for (auto& [port, child] : children_) ::kill(child.pid, signal_number);
}

void PortSupervisor::signal_port(int port, int signal_number) {
  auto it = children_.find(port);
  if (it != children_.end()) ::kill(it->second.pid, signal_number);
}

void PortSupervisor::kill_port(int port) {
  auto it = children_.find(port);
  if (it != children_.end()) ::kill(it->second.pid, SIGKILL);
}

void PortSupervisor::drain(int port, Child& child, bool from_stderr) {
  int& fd = from_stderr ? child.err_fd : child.out_fd;
  std::string& partial = from_stderr ? child.err_partial : child.out_partial;
  char buf[4096];
  const ssize_t n = ::read(fd, buf, sizeof buf);
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

void PortSupervisor::reap(int port, Child& child, int wait_status) {
  ChildEnd end;
  if (WIFEXITED(wait_status)) end.exit_code = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) end.signal_number = WTERMSIG(wait_status);
  end.hung = child.killed_for_silence;
  close_fd(child.out_fd);
  close_fd(child.err_fd);
  close_fd(child.in_fd);
  children_.erase(port);
  on_end_(port, end);
}

void PortSupervisor::poll_once(int timeout_ms) {
  std::vector<pollfd> fds;
  std::vector<std::pair<int, bool>> owners;  // port, stderr?
  for (auto& [port, child] : children_) {
    if (child.out_fd >= 0) {
      fds.push_back({child.out_fd, POLLIN, 0});
      owners.emplace_back(port, false);
    }
    if (child.err_fd >= 0) {
      fds.push_back({child.err_fd, POLLIN, 0});
      owners.emplace_back(port, true);
    }
  }
  if (!fds.empty()) {
    if (::poll(fds.data(), fds.size(), timeout_ms) > 0) {
      for (std::size_t i = 0; i < fds.size(); ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        auto it = children_.find(owners[i].first);
        if (it != children_.end()) drain(it->first, it->second, owners[i].second);
      }
    }
  } else if (!children_.empty() && timeout_ms > 0) {
    // Both pipes closed: only the exit is left to wait for, and it follows
    // within moments; a short nap keeps a finished port's end from waiting.
    ::usleep(static_cast<useconds_t>(std::min(timeout_ms, 5)) * 1000);
  }

  const long now = monotonic_ms();
  std::vector<int> ports;
  for (auto& [port, child] : children_) ports.push_back(port);
  for (int port : ports) {
    Child& child = children_[port];
    if (silence_limit_ms_ > 0 && child.watched && !child.killed_for_silence &&
        now - child.last_output_ms > silence_limit_ms_) {
      child.killed_for_silence = true;
      ::kill(child.pid, SIGKILL);
    }
    // An end counts once its output has been read to the last line.
    if (child.out_fd >= 0 || child.err_fd >= 0) {
      if (!child.killed_for_silence) continue;
    }
    int status = 0;
    const pid_t done = ::waitpid(child.pid, &status, child.killed_for_silence ? 0 : WNOHANG);
    if (done == child.pid) reap(port, child, status);
  }
}

}  // namespace ui
