// The handset's pauses (after a format, before an NVM reset, the script's
// "sleep"), and the run's work that waits for one: work that must not hold a
// handset up (a records copy) is done in the middle of the next pause of at
// least kShortestWorkingPauseSeconds, when the handset is busy and the line
// idle, so that it costs the run no time. One per link: a run's work is done
// in that run's pauses only.
#pragma once

#include <functional>
#include <limits>
#include <vector>

namespace wire {

constexpr double kShortestWorkingPauseSeconds = 0.1;
constexpr long kNoDeadline = std::numeric_limits<long>::max();

class PauseWork {
 public:
  // Blocks for the given seconds on the platform's clock (negative, NaN or
  // absurdly long values do not hang). A pause of
  // kShortestWorkingPauseSeconds or more first does the waiting work,
  // inside its own time.
  void pause(double seconds);

  // Work for the next pause. Work of the same `owner` asked for twice is
  // done once (the later replaces the earlier). It must not throw. Nothing is
  // done when no such pause comes: the caller gives it only what may be
  // skipped, or does it itself at the end. With `due_ms` (a time of
  // platform::clock()), the work is done no later than that: in a pause that
  // lasts past it, at that moment, else at the first quiet moment after it
  // (any pause, or a wait for a reply: see do_due).
  void add(const void* owner, std::function<void()> work, long due_ms = kNoDeadline);
  // Forgets the work of `owner` (it is going away).
  void forget(const void* owner);
  // Does the waiting work whose deadline has passed; a wait that leaves the
  // line idle (for a reply's next byte) calls it.
  void do_due();

 private:
  void do_all();

  struct Entry {
    const void* owner;
    std::function<void()> work;
  };
  std::vector<Entry> work_;
  // The clock's time by which the waiting work is done even without a pause.
  long due_ms_ = kNoDeadline;
};

}  // namespace wire
