#include "platform/date_time.h"

#include <optional>

namespace platform {

namespace {

std::optional<std::tm> g_fixed;

std::tm local_now() {
  if (g_fixed) return *g_fixed;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace

int GetSystemDate(int* month, int* day, int* year) {
  const std::tm now = local_now();
  if (month) *month = now.tm_mon + 1;
  if (day) *day = now.tm_mday;
  if (year) *year = now.tm_year + 1900;
  return 0;
}

int CVI_GetSystemTime(int* hours, int* minutes, int* seconds) {
  const std::tm now = local_now();
  if (hours) *hours = now.tm_hour;
  if (minutes) *minutes = now.tm_min;
  if (seconds) *seconds = now.tm_sec;
  return 0;
}

std::string local_date_time_text(std::int64_t utc_ms) {
  const std::time_t seconds = static_cast<std::time_t>(utc_ms / 1000);
  std::tm tm{};
  localtime_r(&seconds, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

void set_fixed_local_time(const std::tm* moment) {
  if (moment) {
    g_fixed = *moment;
  } else {
    g_fixed.reset();
  }
}

}  // namespace platform
