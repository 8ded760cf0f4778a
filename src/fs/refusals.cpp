#include "fs/refusals.h"

#include "platform/run_panel.h"
#include "platform/text_format.h"

namespace fs {

int refuse(const std::string& line, int status, const std::string& reason) {
  platform::append_run_log_line(
      platform::strprintf("%s  => %d (0): %s", line.c_str(), status, reason.c_str()).c_str());
  return status;
}

}  // namespace fs
