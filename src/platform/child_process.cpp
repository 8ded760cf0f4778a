#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

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

namespace {

struct Pipes {
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  int in[2] = {-1, -1};
};

bool open_pipes(Pipes& p, std::string* error) {
  if (::pipe2(p.out, O_CLOEXEC) != 0) return *error = std::strerror(errno), false;
  if (::pipe2(p.err, O_CLOEXEC) != 0) {
    ::close(p.out[0]), ::close(p.out[1]);
    return *error = std::strerror(errno), false;
  }
  if (::pipe2(p.in, O_CLOEXEC) != 0) {
    ::close(p.out[0]), ::close(p.out[1]), ::close(p.err[0]), ::close(p.err[1]);
    return *error = std::strerror(errno), false;
  }
  return true;
}

// In the child: its ends of the pipes as its standard files, a process group
// of its own, the default answer to a closed pipe.
void take_child_ends(const Pipes& p) {
  ::dup2(p.in[0], STDIN_FILENO);
  ::dup2(p.out[1], STDOUT_FILENO);
  ::dup2(p.err[1], STDERR_FILENO);
  ::setpgid(0, 0);
  ::signal(SIGPIPE, SIG_DFL);
}

// In the parent: the child's ends closed, ours handed back.
std::optional<ChildPipes> keep_parent_ends(pid_t pid, const Pipes& p, std::string* error) {
  ::close(p.out[1]);
  ::close(p.err[1]);
  ::close(p.in[0]);
  if (pid < 0) {
    *error = std::strerror(errno);
    ::close(p.out[0]), ::close(p.err[0]), ::close(p.in[1]);
    return std::nullopt;
  }
  return ChildPipes{pid, p.in[1], p.out[0], p.err[0]};
}

}  // namespace

std::optional<ChildPipes> start_child(
    const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
    const std::vector<std::pair<std::string, std::string>>& environment, std::string* error) {
  Pipes p;
  if (!open_pipes(p, error)) return std::nullopt;
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
    take_child_ends(p);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  return keep_parent_ends(pid, p, error);
}

std::optional<ChildPipes> start_child_function(
    const std::function<int()>& body, const std::string& cwd,
    const std::vector<std::pair<std::string, std::string>>& environment, std::string* error) {
  Pipes p;
  if (!open_pipes(p, error)) return std::nullopt;
  // What this process has written so far must not be written again by the copy.
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    take_child_ends(p);
    // What an exec would have closed: the other children's pipes above all,
    // whose ends held here would keep a child's input from ever ending.
    ::close_range(3, ~0U, 0);
    // The parent's own answers to signals are not the child's.
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ}) ::signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
    for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
    int status = 70;
    // Nothing may unwind out of here into the parent's frames, whose
    // destructors would end the other children.
    try {
      status = body();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "ffsload: %s\n", e.what());
    } catch (...) {
      std::fprintf(stderr, "ffsload: an unexpected error ended the port's run\n");
    }
    std::fflush(nullptr);
    std::exit(status);
  }
  return keep_parent_ends(pid, p, error);
}

int threads_of_this_process() {
  // The field after "Threads:" in /proc/self/status.
  std::FILE* f = std::fopen("/proc/self/status", "re");
  if (!f) return 0;
  char line[256];
  int threads = 0;
  while (std::fgets(line, sizeof line, f)) {
    if (std::sscanf(line, "Threads: %d", &threads) == 1) break;
  }
  std::fclose(f);
  return threads;
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
