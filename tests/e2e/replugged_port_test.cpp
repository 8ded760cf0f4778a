// A USB adapter pulled out in the middle of a run and plugged in again: the
// run ends red at once, runs without the adapter say that the device is gone,
// and once it is back the station works on without a restart.
#include <unistd.h>

#include <filesystem>

#include "support/e2e_support.h"

TEST(ReplugFixture, repeat_mode_works_on_after_the_device_comes_back) {
  char name[] = "/tmp/ffsload-e2e-replug-XXXXXX";
  ASSERT_NE(mkdtemp(name), nullptr);
  const std::string work = name;
  const std::string link = work + "/fixture";
  const std::string station = e2e::copy_example_station(work + "/station");

  auto sim = std::make_unique<e2e::SimProcess>();
  // The adapter goes at the second request of the second run.
  ASSERT_TRUE(sim->start({"--link", link, "--fault", "hang-up:5"}));
  e2e::FfsloadProcess tool;
  ASSERT_TRUE(tool.start({"run", "--port", "3", "--device", link, "--script", "testmode.tms",
                          "--repeat", "--records", work + "/runs.sqlite"},
                         station));
  ASSERT_TRUE(tool.wait_for_line("run 1: green"));
  const auto pulled = std::chrono::steady_clock::now();
  tool.type("\n");
  ASSERT_TRUE(tool.wait_for_line("run 2: red"));
  EXPECT_LT(std::chrono::steady_clock::now() - pulled, std::chrono::seconds(1));

  sim.reset();  // the adapter is out: its device and link are gone
  tool.type("\n");
  ASSERT_TRUE(tool.wait_for_line("run 3: red"));

  sim = std::make_unique<e2e::SimProcess>();  // plugged in again, same name
  ASSERT_TRUE(sim->start({"--link", link}));
  tool.type("\n");
  ASSERT_TRUE(tool.wait_for_line("run 4: green"));
  const e2e::RunResult r = tool.finish();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("cannot open port 3: " + link + ": no such device"), std::string::npos)
      << r.err;
  std::filesystem::remove_all(work);
}
