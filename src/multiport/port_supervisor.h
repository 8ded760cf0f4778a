// Runs one ffsload child process per port and watches them: their output
// line by line, their ends (an exit status, a crash), a child that has gone
// silent for too long (a hang, which is ended). One port's child never holds
// up or harms another's. Used by "ffsload run --ports" and the station grid.
#pragma once

#include <sys/types.h>

#include "platform/child_process.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace multiport {

struct ChildEnd {
  int exit_code = -1;     // when the child exited
  int signal_number = 0;  // when a signal ended it (a crash, or killed)
  bool hung = false;      // ended by the supervisor after too long a silence
};

// A hung child is one whose run prints nothing for this long: longer than
// any command's retries and pauses, shorter than an operator's patience.
constexpr long kPortSilenceLimitMs = 10 * 60 * 1000;

// A short text for the operator: "exit status 1", "crashed (signal 11)", ...
std::string describe_end(const ChildEnd& end);

// A supervisor's own SIGINT and SIGTERM are counted (platform::stop_signals.h)
// for it to hand on to the children, each of which stops safely; they end
// its waits at once. A closed pipe is ignored.
void catch_stop_signals();

class PortSupervisor {
 public:
  using LineSink = std::function<void(int port, bool from_stderr, const std::string& line)>;
  using EndSink = std::function<void(int port, const ChildEnd& end)>;

  PortSupervisor(LineSink on_line, EndSink on_end);
  ~PortSupervisor();  // kills and reaps every child still running
  PortSupervisor(const PortSupervisor&) = delete;
  PortSupervisor& operator=(const PortSupervisor&) = delete;

  // Starts program with args in folder cwd for `port`; false with *error set
  // when it cannot be started or the port already has a child.
  bool start(int port, const std::string& program, const std::vector<std::string>& args,
             const std::string& cwd, std::string* error);
  // The same with body in place of a program: the child is a copy of this
  // process (see platform::start_child_function), for a supervisor in a
  // program with one thread.
  bool start_function(int port, const std::function<int()>& body, const std::string& cwd,
                      std::string* error);
  // Variables that every child started from now on gets in its environment,
  // beside the supervisor's own (replacing any of the same name): what must
  // not be seen on a command line, which every user of the PC can read.
  void set_child_environment(std::vector<std::pair<std::string, std::string>> variables) {
    child_environment_ = std::move(variables);
  }
  // Sends text to the child's standard input (the repeat mode's Enter).
  bool send(int port, const std::string& text);
  // A watched child silent (no output) for longer than this is taken as hung
  // and killed; 0 turns the watch off.
  void set_silence_limit_ms(long ms) { silence_limit_ms_ = ms; }
  // Whether the port's child is watched for silence: while it runs a script,
  // not while it waits for the operator. Starts the silence anew.
  void watch_silence(int port, bool on);

  void signal_all(int signal_number);
  void signal_port(int port, int signal_number);
  void kill_port(int port);
  bool running(int port) const { return children_.count(port) != 0; }
  std::size_t running_count() const { return children_.size(); }

  // Waits up to timeout_ms for output or an end, and hands them on.
  void poll_once(int timeout_ms);

 private:
  struct Child {
    pid_t pid = -1;
    int out_fd = -1;
    int err_fd = -1;
    int in_fd = -1;
    std::string out_partial;
    std::string err_partial;
    long last_output_ms = 0;
    bool killed_for_silence = false;
    bool watched = true;
  };
  void drain(int port, Child& child, bool from_stderr);
  void reap(int port, Child& child, const platform::ChildExit& exit);
  bool watch(int port, const std::optional<platform::ChildPipes>& pipes);

  LineSink on_line_;
  std::vector<std::pair<std::string, std::string>> child_environment_;
  EndSink on_end_;
  std::map<int, Child> children_;
  long silence_limit_ms_ = 0;
};

}  // namespace multiport
