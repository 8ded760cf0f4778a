// Where a run tells what it does: its log lines (the station's data, kept as
// they are) and notices for the operator beside the log. Each run has one;
// the commands reach it through their link.
#pragma once

#include <functional>
#include <string>

#include "platform/operator_text.h"

namespace wire {

class RunLog {
 public:
  virtual ~RunLog() = default;
  // Appends one line at the end of the run log.
  virtual void line(const std::string& text) = 0;
  // Tells the operator something beside the run log, whose lines stay as
  // they are: a pending IMEI, a records problem, a port that did not open.
  virtual void notice(const platform::OperatorText& text) = 0;
};

using NoticeSink = std::function<void(const platform::OperatorText& text)>;

// The run log as the panels show it: lines into the run panel's log (the
// command line echoes them to stdout), notices to `notices`, or, without
// one, to the standard error in English.
class PanelRunLog final : public RunLog {
 public:
  explicit PanelRunLog(NoticeSink notices = {}) : notices_(std::move(notices)) {}
  void line(const std::string& text) override;
  void notice(const platform::OperatorText& text) override;

 private:
  NoticeSink notices_;
};

}  // namespace wire
