#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

extern char** environ;

namespace platform {

std::string replace_process(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  return std::strerror(errno);
}

std::optional<ChildPipes> start_child(
    const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
    const std::vector<std::pair<std::string, std::string>>& environment, std::string* error) {
  int out[2], err[2], in[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return *error = std::strerror(errno), std::nullopt;
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(out[0]), ::close(out[1]);
    return *error = std::strerror(errno), std::nullopt;
  }
  if (::pipe2(in, O_CLOEXEC) != 0) {
    ::close(out[0]), ::close(out[1]), ::close(err[0]), ::close(err[1]);
    return *error = std::strerror(errno), std::nullopt;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // Built before the fork: the child only calls what is safe after it.
  std::vector<std::string> variables;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& [name, value] : environment) replaced = replaced || entry.starts_with(name + "=");
    if (!replaced) variables.push_back(entry);
  }
  for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& v : variables) envp.push_back(v.data());
  envp.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
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
    return std::nullopt;
  }
  return ChildPipes{pid, in[1], out[0], err[0]};
}

std::vector<std::size_t> wait_readable(std::span<const int> fds, int timeout_ms) {
  std::vector<pollfd> polled;
  std::vector<std::size_t> index;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    if (fds[i] < 0) continue;
    polled.push_back({fds[i], POLLIN, 0});
    index.push_back(i);
  }
  std::vector<std::size_t> ready;
  if (polled.empty()) return ready;
  if (::poll(polled.data(), polled.size(), timeout_ms) <= 0) return ready;
  for (std::size_t i = 0; i < polled.size(); ++i) {
    if (polled[i].revents & (POLLIN | POLLHUP | POLLERR)) ready.push_back(index[i]);
  }
  return ready;
}

long read_some(int fd, char* buffer, std::size_t size) {
  return static_cast<long>(::read(fd, buffer, size));
}

bool write_to_child(int fd, const std::string& text) {
  if (fd < 0) return false;
  // The child may be gone already: a failed write is not fatal here.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);
  const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::sigaction(SIGPIPE, &previous, nullptr);
  return ok;
}

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

void signal_process(pid_t pid, int signal_number) {
  if (pid > 0) ::kill(pid, signal_number);
}

std::optional<ChildExit> reap_child(pid_t pid, bool block) {
  int status = 0;
  const pid_t done = ::waitpid(pid, &status, block ? 0 : WNOHANG);
  if (done != pid) return std::nullopt;
  ChildExit end;
  if (WIFEXITED(status)) end.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) end.signal_number = WTERMSIG(status);
  return end;
}

long monotonic_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long>(ts.tv_sec) * 1000L + ts.tv_nsec / 1'000'000L;
}

void nap_ms(int ms) {
  ::usleep(static_cast<useconds_t>(ms) * 1000);
}

}  // namespace platform
