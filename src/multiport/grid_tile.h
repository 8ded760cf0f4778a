// One tile of the station grid, without a toolkit: what the operator sees of
// one port (its run log and colour, the seconds of the last run, the counts,
// a message) worked out from what the port's "ffsload run --repeat" child
// prints and how it ends.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "multiport/port_supervisor.h"
#include "platform/run_state.h"
#include "run/run_session.h"

namespace multiport {

// The repeat mode's summary line: "run 3: red, 4 s, line 12: fwr a b => 100".
struct RunSummary {
  int run = 0;
  run::RunOutcome outcome = run::RunOutcome::kNoRun;
  long seconds = 0;
  std::string detail;  // what follows the seconds, without the ", "
};
std::optional<RunSummary> parse_run_summary(const std::string& line);

enum class TileColour { kWhite, kYellow, kGreen, kRed };

// The tile's part of the port's life: no child, a run under way, a child
// waiting for the next Run, a child asked to quit that has not yet ended.
enum class TileStage { kNoChild, kRunning, kWaiting, kQuitting };

class GridTile {
 public:
  GridTile(int port, std::string device) : port_(port), device_(std::move(device)) {}

  int port() const { return port_; }
  const std::string& device() const { return device_; }
  TileStage stage() const { return stage_; }
  TileColour colour() const { return colour_; }
  // The state as the tile's word and sign tell it: nothing before the first
  // run, RUNNING from Run on, then the last run's PASS or FAIL (a run that
  // could not start or whose process died is a FAIL, as its red says).
  platform::RunState state() const;
  const std::vector<std::string>& log() const { return log_; }
  // The whole seconds of the last run, "" while a run is under way.
  const std::string& elapsed() const { return elapsed_; }
  int runs() const { return runs_; }
  int green() const { return green_; }
  int red() const { return red_; }
  // What the operator should know besides the log: why the device could not
  // be opened, a crash, the IMEI left only on the PC; the latest few, one a
  // line. "" when nothing.
  std::string message() const;
  // The question of a child that found an IMEI pending on a handset without
  // one ("The run on port 3 at ... Is this that handset?"), waiting for Yes
  // or No; "" when none waits. The run goes on only once it is answered.
  const std::string& question() const { return question_; }
  // The question was answered, or its child is going away: it is no longer shown.
  void clear_question() { question_.clear(); }
  // What the child told of the run's unit ("unit SN-1: attempt 2, passed
  // before at ..."), or why a scan into the tile was refused; "" when nothing.
  const std::string& unit_status() const { return unit_status_; }
  void set_unit_status(std::string text) { unit_status_ = std::move(text); }
  // "check the fixture on port 3: 3 red runs in a row" and its failing
  // lines, one a line, while the port's fixture alarm is raised; "" when not.
  const std::string& fixture_alarm() const { return fixture_alarm_; }
  void set_fixture_alarm(std::string text) { fixture_alarm_ = std::move(text); }

  // Run pressed: the log is emptied and turns yellow.
  void run_started();
  // Run pressed while the tile's child is still ending: the log empties and
  // turns yellow at once, the run starts once the child has ended.
  void run_pending();
  // The child could not be started at all.
  void start_failed(const std::string& why);
  // A line of the child's stdout or stderr. True when it ended a run.
  bool child_line(bool from_stderr, const std::string& line);
  // The child was asked to quit ("q"); its end is then no fault.
  void quitting();
  // The child ended (see describe_end).
  void child_ended(const ChildEnd& end);

 private:
  void add_message(const std::string& text);
  void end_run_red();

  int port_;
  std::string device_;
  TileStage stage_ = TileStage::kNoChild;
  TileColour colour_ = TileColour::kWhite;
  std::vector<std::string> log_;
  std::string elapsed_;
  int runs_ = 0;
  int green_ = 0;
  int red_ = 0;
  std::vector<std::string> messages_;
  std::string question_;
  std::string unit_status_;
  std::string fixture_alarm_;
  bool alarm_lines_follow_ = false;
};

}  // namespace multiport
