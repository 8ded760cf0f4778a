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
};

class RealTime final : public TimeSource {
 public:
  long now_ms() override;
  void sleep_ms(long ms) override;
};

class FakeTime final : public TimeSource {
 public:
  long now_ms() override { return now_; }
  void sleep_ms(long ms) override {
    if (ms > 0) now_ += ms;
  }
  void advance(long ms) { sleep_ms(ms); }

 private:
  long now_ = 1'000'000;  // not zero, so "time since start" bugs show up
};

// The process-wide source; RealTime until a test installs another.
TimeSource& time_source();
void set_time_source(TimeSource* source);  // nullptr restores the real clock

// Milliseconds since an arbitrary start, 1000 per second.
long clock();
// Blocks for the given seconds; negative, NaN or absurdly long values do not hang.
void Delay(double seconds);

}  // namespace platform
