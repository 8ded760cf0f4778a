#include "platform/calendar.h"

namespace platform {

std::tm utc_calendar(std::time_t seconds) {
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  return utc;
}

std::time_t utc_seconds(std::tm* calendar) {
  return timegm(calendar);
}

}  // namespace platform
