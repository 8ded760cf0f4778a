#include "link/pause_work.h"

#include <algorithm>

#include "platform/clock.h"

namespace wire {

void PauseWork::add(const void* owner, std::function<void()> work, long due_ms) {
  if (!work) return;
  const auto same = std::find_if(work_.begin(), work_.end(),
                                 [owner](const Entry& e) { return e.owner == owner; });
  if (same != work_.end()) {
    same->work = std::move(work);
  } else {
    work_.push_back({owner, std::move(work)});
  }
  due_ms_ = std::min(due_ms_, due_ms);
}

void PauseWork::forget(const void* owner) {
  std::erase_if(work_, [owner](const Entry& e) { return e.owner == owner; });
  if (work_.empty()) due_ms_ = kNoDeadline;
}

void PauseWork::do_all() {
  // Taken first: work that asks for the next pause waits for that one.
  const std::vector<Entry> work = std::move(work_);
  work_.clear();
  due_ms_ = kNoDeadline;
  for (const Entry& e : work) e.work();
}

void PauseWork::do_due() {
  if (!work_.empty() && due_ms_ <= platform::clock()) do_all();
}

void PauseWork::pause(double seconds) {
  if (!(seconds > 0.0)) return;  // also catches NaN
  platform::TimeSource& time = platform::time_source();
  long long pause_us = platform::delay_microseconds(seconds);
  if (!work_.empty() && (seconds >= kShortestWorkingPauseSeconds || due_ms_ <= time.now_ms())) {
    // In the middle of the pause: the other ports of a station, started
    // together, have reached theirs by then, and the work takes no processor
    // or disk from the steps that lead up to their formats. Never past its
    // deadline, though: a long pause does it when that comes.
    long long first_half_us = pause_us / 2;
    if (due_ms_ != kNoDeadline) {
      const long long until_due_us =
          std::max(0LL, static_cast<long long>(due_ms_ - time.now_ms()) * 1000);
      first_half_us = std::min(first_half_us, until_due_us);
    }
    time.sleep_us(first_half_us);
    const long started_ms = time.now_ms();
    do_all();
    // The handset's pause is as long as ever: the work only used its time.
    pause_us -= first_half_us + static_cast<long long>(time.now_ms() - started_ms) * 1000;
  }
  time.sleep_us(pause_us);
}

}  // namespace wire
