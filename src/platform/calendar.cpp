#include "platform/calendar.h"

#include <chrono>

namespace platform {

std::int64_t utc_now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::tm utc_calendar(std::time_t seconds) {
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  return utc;
}

std::time_t utc_seconds(std::tm* calendar) {
  return timegm(calendar);
}

std::tm local_calendar(std::time_t seconds, long* utc_offset_s) {
  std::tm local{};
  localtime_r(&seconds, &local);
  if (utc_offset_s) *utc_offset_s = local.tm_gmtoff;
  return local;
}

}  // namespace platform
