#include <gtest/gtest.h>

#include "platform/clock.h"

namespace {

platform::FakeTime* g_clock = nullptr;
int g_done = 0;
long g_work_ms = 0;

// Work that takes g_work_ms of the clock, as a records write would.
void counted_work() {
  ++g_done;
  g_clock->advance(g_work_ms);
}

class PauseWork : public ::testing::Test {
 protected:
  void SetUp() override {
    g_clock = &clock;
    g_done = 0;
    g_work_ms = 0;
    platform::set_time_source(&clock);
  }
  void TearDown() override {
    platform::Delay(1.0);  // nothing left waiting for the next test
    platform::set_time_source(nullptr);
  }
  platform::FakeTime clock;
};

}  // namespace

TEST_F(PauseWork, waits_for_a_long_pause_runs_once_and_leaves_its_length_as_it_was) {
  g_work_ms = 300;
  platform::do_in_next_pause(counted_work);
  platform::do_in_next_pause(counted_work);  // asked twice: done once
  const long start = clock.now_ms();
  platform::Delay(0.05);  // a short wait (a retry's) is not a pause to work in
  EXPECT_EQ(g_done, 0);
  EXPECT_EQ(clock.now_ms() - start, 50);

  platform::Delay(2.0);
  EXPECT_EQ(g_done, 1);
  // The handset gets its two seconds, not two seconds after the work.
  EXPECT_EQ(clock.now_ms() - start, 2050);

  platform::Delay(2.0);
  EXPECT_EQ(g_done, 1);
}

TEST_F(PauseWork, work_longer_than_its_pause_is_not_followed_by_the_rest_of_the_pause) {
  g_work_ms = 3000;
  platform::do_in_next_pause(counted_work);
  const long start = clock.now_ms();
  platform::Delay(2.0);
  EXPECT_EQ(g_done, 1);
  // Begun in the middle of the pause (when every port is in its own), and
  // the pause is over once the work is.
  EXPECT_EQ(clock.now_ms() - start, 1000 + 3000);
}

TEST_F(PauseWork, work_with_a_deadline_is_done_by_then_in_a_long_pause_or_a_quiet_moment) {
  long done_at = -1;
  static long* at = nullptr;
  at = &done_at;
  auto stamped = [] {
    ++g_done;
    *at = g_clock->now_ms();
  };
  const long start = clock.now_ms();
  // A long pause does it at the deadline, not in its middle.
  platform::do_in_next_pause(stamped, start + 1000);
  platform::Delay(5.0);
  EXPECT_EQ(g_done, 1);
  EXPECT_EQ(done_at - start, 1000);
  EXPECT_EQ(clock.now_ms() - start, 5000);

  // Without a pause: not before the deadline, then at the first quiet moment
  // (a wait for a reply), or in any pause however short.
  platform::do_in_next_pause(stamped, clock.now_ms() + 1000);
  platform::do_due_pause_work();
  clock.advance(999);
  platform::do_due_pause_work();
  platform::Delay(0.01);
  EXPECT_EQ(g_done, 1);
  clock.advance(1);
  platform::do_due_pause_work();
  EXPECT_EQ(g_done, 2);
  platform::do_in_next_pause(stamped, clock.now_ms());
  platform::Delay(0.01);
  EXPECT_EQ(g_done, 3);
}
