#include "fs/refusal.h"

#include "platform/run_panel.h"
#include "platform/text_format.h"

namespace fs {

int refuse(const std::string& line, int status, std::string_view reason) {
  const std::string why(reason);
  platform::append_run_log_line(
      platform::strprintf("%s  => %d (%s)", line.c_str(), status, why.c_str()).c_str());
  return status;
}

}  // namespace fs
