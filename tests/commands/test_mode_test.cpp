#include "commands/test_mode.h"

#include "support/sim_fixture.h"

using testing_support::bytes;

class TestModeCommands : public testing_support::SimulatedHandsetTest {};

TEST_F(TestModeCommands, tms_one_sends_mode_one_and_logs_first_attempt) {
  EXPECT_EQ(commands::entertestmode("tms 1"), 0);
  EXPECT_EQ(port->written(), bytes({0x02, 0x14, 0x21, 0x01, 0x00, 0x20, 0x02}));
  EXPECT_EQ(log(), std::vector<std::string>{"tms 1  => 0 (1)"});
}
