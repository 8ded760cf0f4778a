#include "link/run_log.h"

#include <cstdio>

#include "platform/run_panel.h"

namespace wire {

void PanelRunLog::line(const std::string& text) {
  platform::append_run_log_line(text.c_str());
}

void PanelRunLog::notice(const platform::OperatorText& text) {
  if (notices_) {
    notices_(text);
  } else {
    std::fprintf(stderr, "ffsload: %s\n", text.english().c_str());
  }
}

}  // namespace wire
