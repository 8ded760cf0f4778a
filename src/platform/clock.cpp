#include "platform/clock.h"

#include <time.h>

#include <cmath>
#include <ctime>

namespace platform {

namespace {
// A script can ask for any pause; a day is far beyond any real use and keeps
// the conversion to milliseconds inside a long.
constexpr double kLongestDelaySeconds = 86400.0;

RealTime g_real_time;
TimeSource* g_source = &g_real_time;
}  // namespace

long RealTime::now_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long>(ts.tv_sec) * 1000L + ts.tv_nsec / 1'000'000L;
}

void RealTime::sleep_us(long long us) {
  if (us <= 0) return;
  timespec ts{static_cast<time_t>(us / 1'000'000), static_cast<long>(us % 1'000'000) * 1000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

TimeSource& time_source() {
  return *g_source;
}

void set_time_source(TimeSource* source) {
  g_source = source ? source : &g_real_time;
}

long clock() {
  return g_source->now_ms();
}

long long delay_microseconds(double seconds) {
  if (!(seconds > 0.0)) return 0;  // also catches NaN
  if (seconds > kLongestDelaySeconds) seconds = kLongestDelaySeconds;
  return std::llround(seconds * 1e6);
}

void Delay(double seconds) {
  g_source->sleep_us(delay_microseconds(seconds));
}

}  // namespace platform
