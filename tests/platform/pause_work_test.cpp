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
