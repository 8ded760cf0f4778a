#include "commands/command_support.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/run_panel.h"
#include "platform/text_format.h"

namespace commands {

RetryOutcome retry(int attempt_count, const std::function<int()>& attempt) {
  int status = 1;
  int left = attempt_count;
  while (status != 0 && left > 0) {
    status = attempt();
    --left;
  }
  return {status, attempt_count - left};
}

void log_result(const std::string& line, int status, int attempts_used) {
  platform::append_run_log_line(
      platform::strprintf("%s  => %d (%d)", line.c_str(), status, attempts_used).c_str());
}

int not_supported(const std::string& line) {
  platform::append_run_log_line(platform::strprintf("%s  => not supported", line.c_str()).c_str());
  return kStatusNotSupported;
}

int to_int(const std::string& text) {
  errno = 0;
  long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace commands
