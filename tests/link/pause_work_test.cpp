#include "link/pause_work.h"

#include <gtest/gtest.h>

#include "platform/clock.h"

namespace {

class PauseWorkTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::set_time_source(&clock); }
  void TearDown() override { platform::set_time_source(nullptr); }

  // Work that takes work_ms of the clock, as a records write would.
  std::function<void()> counted() {
    return [this] {
      ++done;
      done_at = clock.now_ms();
      clock.advance(work_ms);
    };
  }

  platform::FakeTime clock;
  wire::PauseWork pauses;
  int done = 0;
  long done_at = -1;
  long work_ms = 0;
};

}  // namespace

TEST_F(PauseWorkTest, waits_for_a_long_pause_runs_once_and_leaves_its_length_as_it_was) {
  work_ms = 300;
  pauses.add(this, counted());
  pauses.add(this, counted());  // asked twice: done once
  const long start = clock.now_ms();
  pauses.pause(0.05);  // a short wait (a retry's) is not a pause to work in
  EXPECT_EQ(done, 0);
  EXPECT_EQ(clock.now_ms() - start, 50);

  pauses.pause(2.0);
  EXPECT_EQ(done, 1);
  // The handset gets its two seconds, not two seconds after the work.
  EXPECT_EQ(clock.now_ms() - start, 2050);

  pauses.pause(2.0);
  EXPECT_EQ(done, 1);
}

TEST_F(PauseWorkTest, work_longer_than_its_pause_is_not_followed_by_the_rest_of_the_pause) {
  work_ms = 3000;
  pauses.add(this, counted());
  const long start = clock.now_ms();
  pauses.pause(2.0);
  EXPECT_EQ(done, 1);
  // Begun in the middle of the pause (when every port is in its own), and
  // the pause is over once the work is.
  EXPECT_EQ(clock.now_ms() - start, 1000 + 3000);
}

TEST_F(PauseWorkTest, work_with_a_deadline_is_done_by_then_in_a_long_pause_or_a_quiet_moment) {
  const long start = clock.now_ms();
  // A long pause does it at the deadline, not in its middle.
  pauses.add(this, counted(), start + 1000);
  pauses.pause(5.0);
  EXPECT_EQ(done, 1);
  EXPECT_EQ(done_at - start, 1000);
  EXPECT_EQ(clock.now_ms() - start, 5000);

  // Without a pause: not before the deadline, then at the first quiet moment
  // (a wait for a reply), or in any pause however short.
  pauses.add(this, counted(), clock.now_ms() + 1000);
  pauses.do_due();
  clock.advance(999);
  pauses.do_due();
  pauses.pause(0.01);
  EXPECT_EQ(done, 1);
  clock.advance(1);
  pauses.do_due();
  EXPECT_EQ(done, 2);
  pauses.add(this, counted(), clock.now_ms());
  pauses.pause(0.01);
  EXPECT_EQ(done, 3);
}

TEST_F(PauseWorkTest, a_runs_work_waits_for_its_own_pauses_and_goes_with_its_owner) {
  // Two runs in one process: the other run's format pause is not this one's.
  wire::PauseWork other;
  pauses.add(this, counted());
  other.pause(2.0);
  EXPECT_EQ(done, 0);
  // Its owner gone (a run that ended before any pause), nothing is left to do.
  pauses.forget(this);
  pauses.pause(2.0);
  EXPECT_EQ(done, 0);
}
