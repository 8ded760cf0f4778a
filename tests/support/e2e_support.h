// Runs the real programs for the end-to-end tests: ffsload-sim on a new
// pseudo-terminal, and ffsload against it.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace e2e {

std::string examples_dir();

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

// Runs ffsload with args in the folder cwd and collects its output.
RunResult run_ffsload(const std::vector<std::string>& args, const std::string& cwd);

}  // namespace e2e
