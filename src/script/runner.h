// The script runner: runs the script file named by tmsfile against the
// handset, line by line, and stops at the first command that fails. One
// Runner per run, on the run's link and IMEI guard.
#pragma once

#include <csignal>
#include <string>

#include "fs/imei_guard.h"
#include "link/link.h"
#include "script/run_control.h"

namespace script {

class Runner {
 public:
  Runner(wire::Link& link, fs::ImeiGuard& guard) : link_(link), guard_(guard) {}
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  // Name of the script file of the chosen customer.
  std::string tmsfile;

  // Runs the script; colours the run log green (all succeeded) or red (a
  // command failed). A script that cannot be opened shows a message box and
  // changes nothing (no run). A stop asked of the process
  // (platform::request_stop) waits for the end of a command, and never
  // leaves a formatted handset without the IMEI that this run backed up.
  RunEnd download();

  // Runs one line (after its line end was cut): finds the keyword, checks
  // and splits the words, calls the command. Lines without a keyword return
  // 0. directory is the current handset directory of the run.
  int run_line(const std::string& line, std::string& directory);

  // The script line the runner is at (1-based, 0 before the first); a
  // signal handler may read it.
  int current_line_number() const { return current_line_; }

  wire::Link& link() { return link_; }
  fs::ImeiGuard& guard() { return guard_; }

 private:
  wire::Link& link_;
  fs::ImeiGuard& guard_;
  volatile std::sig_atomic_t current_line_ = 0;
};

}  // namespace script
