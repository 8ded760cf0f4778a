// Time as the logic sees it: a millisecond clock and a blocking delay.
// The real source is the monotonic clock; tests install a fake one that only
// moves when something waits, so long retry sequences cost no real time.
#pragma once

#include <limits>
#include <memory>

namespace platform {

class TimeSource {
 public:
  virtual ~TimeSource() = default;
  virtual long now_ms() = 0;
  // Blocks (or, for a fake source, advances) for the given milliseconds.
  virtual void sleep_ms(long ms) = 0;
  // The same in microseconds, for pauses shorter than a millisecond.
  virtual void sleep_us(long long us) = 0;
};

class RealTime final : public TimeSource {
 public:
  long now_ms() override;
  void sleep_ms(long ms) override { sleep_us(static_cast<long long>(ms) * 1000); }
  void sleep_us(long long us) override;
};

class FakeTime final : public TimeSource {
 public:
  long now_ms() override { return static_cast<long>(now_us_ / 1000); }
  long long now_us() const { return now_us_; }
  void sleep_ms(long ms) override { sleep_us(static_cast<long long>(ms) * 1000); }
  void sleep_us(long long us) override {
    if (us > 0) now_us_ += us;
  }
  void advance(long ms) { sleep_ms(ms); }

 private:
  long long now_us_ = 1'000'000'000;  // not zero, so "time since start" bugs show up
};

// The process-wide source; RealTime until a test installs another.
TimeSource& time_source();
void set_time_source(TimeSource* source);  // nullptr restores the real clock

// Milliseconds since an arbitrary start, 1000 per second.
long clock();
// Blocks for the given seconds; negative, NaN or absurdly long values do not hang.
// A pause of kShortestWorkingPauseSeconds or more first does the work that
// waits for it (see do_in_next_pause), inside its own time.
void Delay(double seconds);

// Work that must not hold a handset up, done in the middle of the next pause
// (a Delay of at least kShortestWorkingPauseSeconds: a format or a reset
// under way, when the handset is busy and the line idle), so that it costs
// the run no time. The same function asked for twice is done once. It must
// not throw. Nothing is done when no such pause comes: the caller gives it
// only what may be skipped, or does it itself at the end. With `due_ms` (a
// time of clock()), the work is done no later than that: in a pause that
// lasts past it, at that moment, else at the first quiet moment after it
// (any pause, or a wait for a reply: see do_due_pause_work).
constexpr long kNoDeadline = std::numeric_limits<long>::max();
void do_in_next_pause(void (*work)(), long due_ms = kNoDeadline);
// Does the waiting work whose deadline has passed; a wait that leaves the
// line idle (for a reply's next byte) calls it.
void do_due_pause_work();
constexpr double kShortestWorkingPauseSeconds = 0.1;

}  // namespace platform
