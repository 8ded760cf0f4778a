// Runs the real programs for the end-to-end tests: ffsload-sim on a new
// pseudo-terminal, and ffsload against it.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace e2e {

std::string examples_dir();

// Copies the example station's files (scripts, PC files, port list) into
// `folder` and returns it: a run writes its records and journals where it runs,
// and those must never land in the examples.
std::string copy_example_station(const std::string& folder);

// A running ffsload-sim; stopped (SIGTERM) when it goes out of scope.
class SimProcess {
 public:
  SimProcess() = default;
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Starts the simulator with extra arguments and reads its device path.
  bool start(const std::vector<std::string>& args);
  // Stops it and waits; returns its exit status.
  int stop();
  const std::string& device() const { return device_; }
  const std::string& errors();

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  std::string device_;
  std::string err_path_;
  std::string err_;
};

struct RunResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// Runs ffsload with args in the folder cwd and collects its output; its
// standard input reads `input` (a PIN for --pin-fd 0), else nothing.
RunResult run_ffsload(const std::vector<std::string>& args, const std::string& cwd,
                      const std::string& input = "");


// ffsload running in the background with its stdout and stderr on pipes, so
// that a test can wait for a run-log line, send signals or close stdout.
class FfsloadProcess {
 public:
  FfsloadProcess() = default;
  ~FfsloadProcess();
  FfsloadProcess(const FfsloadProcess&) = delete;
  FfsloadProcess& operator=(const FfsloadProcess&) = delete;

  // shell_prefix, when given, runs before exec in /bin/sh (e.g. "ulimit -f 0").
  bool start(const std::vector<std::string>& args, const std::string& cwd,
             const std::string& shell_prefix = "");
  // Reads stdout until a line containing `text` has arrived (false on timeout or end).
  bool wait_for_line(const std::string& text, int timeout_ms = 20'000);
  // Closes the reading end of stdout: the process's later writes fail.
  void close_stdout();
  // Types text on the process's standard input.
  void type(const std::string& text);
  void signal(int signal_number);
  pid_t pid() const { return pid_; }
  // Waits for the end; the output read so far and the rest.
  RunResult finish();

 private:
  void pump(int timeout_ms);
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  int in_fd_ = -1;
  std::string out_;
  std::string err_;
};

}  // namespace e2e
