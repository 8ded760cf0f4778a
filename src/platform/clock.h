// Time as the logic sees it: a millisecond clock and a blocking delay.
// The real source is the monotonic clock; tests install a fake one that only
// moves when something waits, so long retry sequences cost no real time.
#pragma once

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
void Delay(double seconds);
// The microseconds Delay blocks for: 0 for negative or NaN, at most a day.
long long delay_microseconds(double seconds);

}  // namespace platform
