#include "platform/clock.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

namespace platform {

namespace {
// A script can ask for any pause; a day is far beyond any real use and keeps
// the conversion to milliseconds inside a long.
constexpr double kLongestDelaySeconds = 86400.0;

RealTime g_real_time;
TimeSource* g_source = &g_real_time;
std::vector<void (*)()> g_pause_work;
// The clock's time by which the waiting work is done even without a pause.
long g_pause_work_due_ms = kNoDeadline;

void do_pause_work() {
  // Taken first: work that asks for the next pause waits for that one.
  const std::vector<void (*)()> work = std::move(g_pause_work);
  g_pause_work.clear();
  g_pause_work_due_ms = kNoDeadline;
  for (void (*w)() : work) w();
}
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

void Delay(double seconds) {
  if (!(seconds > 0.0)) return;  // also catches NaN
  if (seconds > kLongestDelaySeconds) seconds = kLongestDelaySeconds;
  long long pause_us = std::llround(seconds * 1e6);
  if (!g_pause_work.empty() &&
      (seconds >= kShortestWorkingPauseSeconds || g_pause_work_due_ms <= g_source->now_ms())) {
    // In the middle of the pause: the other ports of a station, started
    // together, have reached theirs by then, and the work takes no processor
    // or disk from the steps that lead up to their formats. Never past its
    // deadline, though: a long pause does it when that comes.
    long long first_half_us = pause_us / 2;
    if (g_pause_work_due_ms != kNoDeadline) {
      const long long until_due_us =
          std::max(0LL, static_cast<long long>(g_pause_work_due_ms - g_source->now_ms()) * 1000);
      first_half_us = std::min(first_half_us, until_due_us);
    }
    g_source->sleep_us(first_half_us);
    const long started_ms = g_source->now_ms();
    do_pause_work();
    // The handset's pause is as long as ever: the work only used its time.
    pause_us -= first_half_us + static_cast<long long>(g_source->now_ms() - started_ms) * 1000;
  }
  g_source->sleep_us(pause_us);
}

void do_in_next_pause(void (*work)(), long due_ms) {
  if (work && std::find(g_pause_work.begin(), g_pause_work.end(), work) == g_pause_work.end()) {
    g_pause_work.push_back(work);
  }
  if (work) g_pause_work_due_ms = std::min(g_pause_work_due_ms, due_ms);
}

void do_due_pause_work() {
  if (!g_pause_work.empty() && g_pause_work_due_ms <= g_source->now_ms()) do_pause_work();
}

}  // namespace platform
