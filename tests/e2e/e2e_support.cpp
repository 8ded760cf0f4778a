#include "support/e2e_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace e2e {

namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A new, unique file; the caller removes it.
std::string temp_path(const char* stem) {
  std::string name = std::string("/tmp/ffsload-e2e-XXXXXX.") + stem;
  int fd = mkstemps(name.data(), static_cast<int>(std::strlen(stem) + 1));
  if (fd >= 0) close(fd);
  return name;
}

std::vector<char*> argv_of(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

}  // namespace

std::string examples_dir() {
  return FFSLOAD_EXAMPLES;
}

std::string copy_example_station(const std::string& folder) {
  std::filesystem::copy(
      examples_dir() + "/station", folder,
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  return folder;
}

SimProcess::~SimProcess() {
  stop();
}

bool SimProcess::start(const std::vector<std::string>& args) {
  int out_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return false;
  err_path_ = temp_path("sim-err");
  const std::string program = FFSLOAD_SIM_BIN;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out_pipe[1], STDOUT_FILENO);
    int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err >= 0) dup2(err, STDERR_FILENO);
    close(out_pipe[0]);
    close(out_pipe[1]);
    auto argv = argv_of(program, args);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  out_fd_ = out_pipe[0];
  // The first line on stdout is the device path.
  std::string line;
  char c;
  pollfd p{out_fd_, POLLIN, 0};
  while (poll(&p, 1, 10'000) > 0 && read(out_fd_, &c, 1) == 1) {
    if (c == '\n') break;
    line += c;
  }
  device_ = line;
  return !device_.empty();
}

int SimProcess::stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  if (out_fd_ >= 0) close(out_fd_);
  out_fd_ = -1;
  err_ = read_file(err_path_);
  unlink(err_path_.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string& SimProcess::errors() {
  return err_;
}

RunResult run_ffsload(const std::vector<std::string>& args, const std::string& cwd,
                      const std::string& input) {
  RunResult result;
  const std::string out_path = temp_path("out");
  const std::string err_path = temp_path("err");
  const std::string in_path = temp_path("in");
  {
    std::ofstream in_file(in_path, std::ios::binary);
    in_file << input;
  }
  const std::string program = FFSLOAD_BIN;
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(126);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // Never the test runner's terminal: a program that asks waits for nobody.
    int in = open(in_path.c_str(), O_RDONLY);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    auto argv = argv_of(program, args);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  unlink(out_path.c_str());
  unlink(err_path.c_str());
  unlink(in_path.c_str());
  return result;
}

FfsloadProcess::~FfsloadProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    finish();
  }
}

bool FfsloadProcess::start(const std::vector<std::string>& args, const std::string& cwd,
                           const std::string& shell_prefix) {
  int out_pipe[2];
  int err_pipe[2];
  int in_pipe[2];
  // Close-on-exec: a program the test starts later (a simulator) must not
  // hold these ends, or the tool would never see the end of its input.
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return false;
  if (pipe2(err_pipe, O_CLOEXEC) != 0) return false;
  if (pipe2(in_pipe, O_CLOEXEC) != 0) return false;
  const std::string program = FFSLOAD_BIN;
  pid_ = fork();
  if (pid_ == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(126);
    dup2(in_pipe[0], STDIN_FILENO);
    close(in_pipe[0]);
    close(in_pipe[1]);
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    close(out_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[0]);
    close(err_pipe[1]);
    ::signal(SIGPIPE, SIG_DFL);
    if (shell_prefix.empty()) {
      auto argv = argv_of(program, args);
      execv(program.c_str(), argv.data());
    } else {
      std::vector<std::string> shell = {"-c", shell_prefix + "; exec \"$0\" \"$@\"", program};
      shell.insert(shell.end(), args.begin(), args.end());
      auto argv = argv_of("/bin/sh", shell);
      execv("/bin/sh", argv.data());
    }
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  close(in_pipe[0]);
  out_fd_ = out_pipe[0];
  err_fd_ = err_pipe[0];
  in_fd_ = in_pipe[1];
  return pid_ > 0;
}

void FfsloadProcess::pump(int timeout_ms) {
  pollfd p[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  if (poll(p, 2, timeout_ms) <= 0) return;
  char buf[4096];
  if (out_fd_ >= 0 && (p[0].revents & (POLLIN | POLLHUP))) {
    ssize_t n = read(out_fd_, buf, sizeof buf);
    if (n > 0) out_.append(buf, static_cast<std::size_t>(n));
    if (n == 0) {
      close(out_fd_);
      out_fd_ = -1;
    }
  }
  if (err_fd_ >= 0 && (p[1].revents & (POLLIN | POLLHUP))) {
    ssize_t n = read(err_fd_, buf, sizeof buf);
    if (n > 0) err_.append(buf, static_cast<std::size_t>(n));
    if (n == 0) {
      close(err_fd_);
      err_fd_ = -1;
    }
  }
}

bool FfsloadProcess::wait_for_line(const std::string& text, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    const auto at = out_.find(text);
    if (at != std::string::npos && out_.find('\n', at) != std::string::npos) return true;
    if (out_fd_ < 0 && err_fd_ < 0) return false;
    pump(50);
  }
  return false;
}

void FfsloadProcess::close_stdout() {
  if (out_fd_ >= 0) close(out_fd_);
  out_fd_ = -1;
}

void FfsloadProcess::type(const std::string& text) {
  if (in_fd_ >= 0) (void)!write(in_fd_, text.data(), text.size());
}

void FfsloadProcess::signal(int signal_number) {
  if (pid_ > 0) kill(pid_, signal_number);
}

RunResult FfsloadProcess::finish() {
  RunResult result;
  if (in_fd_ >= 0) close(in_fd_);  // the end of input quits a repeat mode
  in_fd_ = -1;
  while (out_fd_ >= 0 || err_fd_ >= 0) pump(1000);
  int status = 0;
  if (pid_ > 0) waitpid(pid_, &status, 0);
  pid_ = -1;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = out_;
  result.err = err_;
  return result;
}

}  // namespace e2e
