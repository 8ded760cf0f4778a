#include "support/e2e_support.h"
#include "support/temp_dir.h"

TEST(EndToEnd, example_parameter_script_runs_every_parameter_command_green) {
  testing_support::TempDir dir;
  const std::string station = e2e::copy_example_station(dir.path());
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({}));
  auto result = e2e::run_ffsload(
      {"run", "--port", "3", "--device", sim.device(), "--script", "parameters.tms"}, station);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  for (const char* line : {"stw 34 1 2 3 4 5 6  => 0 (1)", "str 35 1 2 3 4 5 6  => 0 (1)",
                           "cw 2 27 0x005B  => 0 (1)", "cr 2 27  => 0 (1), register=0x005B(0)",
                           "spw 2 9  => 0 (1)", "rfe 1  => 0 (1)", "agcdcs(291) => 0(1)"}) {
    EXPECT_NE(result.out.find(line), std::string::npos) << line << "\n" << result.out;
  }
}
