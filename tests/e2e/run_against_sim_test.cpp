#include "support/e2e_support.h"

TEST(EndToEnd, example_test_mode_script_runs_green_over_a_pty) {
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({}));
  auto result = e2e::run_ffsload({"run", "--port", "3", "--device", sim.device(), "--script",
                                  e2e::examples_dir() + "/station/testmode.tms"},
                                 e2e::examples_dir() + "/station");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("tms 1  => 0 (1)"), std::string::npos) << result.out;
}
