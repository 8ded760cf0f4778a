#include "fs/refusals.h"

#include "platform/file_claims.h"
#include "platform/run_panel.h"
#include "platform/text_format.h"

namespace fs {

int refuse(const std::string& line, int status, const std::string& reason) {
  platform::append_run_log_line(
      platform::strprintf("%s  => %d (0): %s", line.c_str(), status, reason.c_str()).c_str());
  return status;
}

int refuse_if_held_elsewhere(const std::string& line, const std::string& pc_name) {
  if (auto holder = platform::file_held_elsewhere(pc_name)) {
    return refuse(
        line, kStatusPcFileHeldElsewhere,
        platform::strprintf("%s %s", pc_name.c_str(), holder->c_str()));
  }
  return 0;
}

}  // namespace fs
