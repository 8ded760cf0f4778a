#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/e2e_support.h"
#include "support/temp_dir.h"

namespace {

const std::string kTestModeScript = "tms 1\nti\nse 3\nsleep 100\n";

std::vector<std::string> run_args(const std::string& device, const std::string& script) {
  return {"run", "--port", "3", "--device", device, "--script", script};
}

}  // namespace

TEST(EndToEnd, example_test_mode_script_runs_green_over_a_pty) {
  testing_support::TempDir dir;
  const std::string station = e2e::copy_example_station(dir.path());
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({}));
  auto result = e2e::run_ffsload(run_args(sim.device(), "testmode.tms"), station);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  // Run-log lines alone on stdout, in order.
  EXPECT_EQ(result.out, "tms 1  => 0 (1)\nti  => 0 (1)\nse 3  => 0 (1)\nsleep 100\n");
  EXPECT_NE(result.err.find("green"), std::string::npos) << result.err;
}

TEST(EndToEnd, refusing_handset_turns_the_run_red_with_exit_one) {
  testing_support::TempDir dir;
  testing_support::TempDir::write("t.tms", kTestModeScript);
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({"--fault", "refuse:0x20"}));
  auto result = e2e::run_ffsload(run_args(sim.device(), "t.tms"), dir.path());
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_EQ(result.out, "tms 1  => 0 (1)\nti  => 100 (5)\n");
}

TEST(EndToEnd, no_run_for_bad_usage_or_a_missing_script) {
  testing_support::TempDir dir;
  auto usage = e2e::run_ffsload({"run", "--port", "9", "--script", "x.tms"}, dir.path());
  EXPECT_EQ(usage.exit_code, 2);
  EXPECT_NE(usage.err.find("Usage"), std::string::npos) << usage.err;
  EXPECT_EQ(e2e::run_ffsload({"run", "--script", "x.tms"}, dir.path()).exit_code, 2);
  EXPECT_EQ(e2e::run_ffsload({"fly"}, dir.path()).exit_code, 2);

  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({}));
  auto missing = e2e::run_ffsload(run_args(sim.device(), "missing.tms"), dir.path());
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_NE(missing.err.find("Error: Fail to open file <*.tms>"), std::string::npos) << missing.err;
  EXPECT_EQ(missing.out, "");
}

TEST(EndToEnd, a_device_that_cannot_be_opened_is_named_and_the_run_fails_fast) {
  testing_support::TempDir dir;
  testing_support::TempDir::write("t.tms", kTestModeScript);
  auto missing = e2e::run_ffsload(run_args("/dev/no-such-port", "t.tms"), dir.path());
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("no such device"), std::string::npos) << missing.err;
  EXPECT_EQ(missing.out, "tms 1  => 100 (5)\n");

  // A port held by another station program is refused, not shared.
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({}));
  int held = open(sim.device().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  auto busy = e2e::run_ffsload(run_args(sim.device(), "t.tms"), dir.path());
  close(held);
  EXPECT_EQ(busy.exit_code, 1);
  EXPECT_NE(busy.err.find("busy"), std::string::npos) << busy.err;
}

TEST(EndToEnd, handset_hanging_up_mid_reply_ends_the_run_red_without_waiting) {
  testing_support::TempDir dir;
  testing_support::TempDir::write("t.tms", kTestModeScript);
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({"--fault", "hang-up:2"}));
  const auto start = std::chrono::steady_clock::now();
  auto result = e2e::run_ffsload(run_args(sim.device(), "t.tms"), dir.path());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_EQ(result.out, "tms 1  => 0 (1)\nti  => 100 (5)\n");
}

TEST(EndToEnd, save_writes_the_run_log_with_its_time_stamped_name) {
  testing_support::TempDir dir;
  testing_support::TempDir::write("t.tms", "tms 1\nti\n");
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({}));
  auto args = run_args(sim.device(), "t.tms");
  args.push_back("--save");
  auto result = e2e::run_ffsload(args, dir.path());
  EXPECT_EQ(result.exit_code, 0) << result.err;
  std::string saved;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename();
    if (name.starts_with("Download_")) {
      EXPECT_EQ(name.size(), std::string("Download_0103-090507.txt").size()) << name;
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream s;
      s << in.rdbuf();
      saved = s.str();
    }
  }
  EXPECT_EQ(saved, "tms 1  => 0 (1)\r\nti  => 0 (1)\r\n");
}

TEST(EndToEnd, simulator_stops_cleanly_and_removes_its_link) {
  testing_support::TempDir dir;
  const std::string link = dir.path() + "/handset";
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({"--link", link}));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(sim.stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(EndToEnd, customer_picks_its_script_from_the_customer_definition) {
  testing_support::TempDir copy;
  const std::string station = e2e::copy_example_station(copy.path());
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({}));
  auto run = [&](const std::string& customer) {
    return e2e::run_ffsload(
        {"run", "--port", "3", "--device", sim.device(), "--customer", customer}, station);
  };
  auto testmode = run("2");
  EXPECT_EQ(testmode.exit_code, 0) << testmode.err;
  EXPECT_EQ(testmode.out, "tms 1  => 0 (1)\nti  => 0 (1)\nse 3  => 0 (1)\nsleep 100\n");
  EXPECT_NE(testmode.err.find("script testmode.tms, MA_NO"), std::string::npos) << testmode.err;
  // Customer 4 has sub-numbers: 4.2 is the test-mode script again.
  EXPECT_EQ(run("4.2").out, testmode.out);

  auto unknown = run("9");
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_NE(unknown.err.find("Error: Fail to find the customer"), std::string::npos);
  EXPECT_EQ(run("2.5").exit_code, 0);  // customer 2 has no sub-numbers: .5 does not count
  EXPECT_EQ(run("1.x").exit_code, 2);

  testing_support::TempDir empty;
  auto no_file = e2e::run_ffsload(
      {"run", "--port", "3", "--device", sim.device(), "--customer", "1"}, empty.path());
  EXPECT_EQ(no_file.exit_code, 2);
  EXPECT_NE(no_file.err.find("Error: Fail to open file <custdefine>"), std::string::npos);
}
