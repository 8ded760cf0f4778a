#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "cli/cfx_sender_child.h"
#include "platform/child_process.h"

namespace {

bool asks(std::vector<std::string> args) {
  args.insert(args.begin(), "ffsload");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  return cli::asks_for_window(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, only_the_panels_the_grid_and_the_report_window_go_to_the_window_program) {
  EXPECT_TRUE(asks({}));
  EXPECT_TRUE(asks({"grid"}));
  EXPECT_TRUE(asks({"grid", "--ports", "1-4"}));
  EXPECT_TRUE(asks({"report", "--since", "2026-01-01", "--window"}));

  EXPECT_FALSE(asks({"run", "--port", "1", "--script", "a.tms"}));
  EXPECT_FALSE(asks({"report", "--csv"}));
  EXPECT_FALSE(asks({"check"}));
  EXPECT_FALSE(asks({"ports"}));
  // A "grid" or "--window" that is an option's value does not choose the subcommand.
  EXPECT_FALSE(asks({"run", "--script", "grid"}));
  EXPECT_FALSE(asks({"run", "--window"}));
}

TEST(CommandLine, help_and_version_are_answered_without_a_toolkit) {
  EXPECT_FALSE(asks({"--help"}));
  EXPECT_FALSE(asks({"--version"}));
  EXPECT_FALSE(asks({"grid", "--help"}));
  EXPECT_FALSE(asks({"report", "--window", "-h"}));
}

// Waits for a condition on a real child, up to a deadline.
template <class Condition>
bool within_ms(long ms, Condition condition) {
  const long deadline = platform::monotonic_ms() + ms;
  while (!condition()) {
    if (platform::monotonic_ms() >= deadline) return false;
    platform::nap_ms(5);
  }
  return true;
}

constexpr cli::CfxSenderWhileOpen::Watch kQuickWatch{5, 10, 40, 10000};

TEST(SenderWhileOpen, a_cfx_sender_that_cannot_run_is_started_again_and_says_why) {
  cli::CfxSenderWhileOpen sender(
      "/bin/sh",
      {"-c", "echo 'ffsload-cfx: first' >&2; echo 'ffsload-cfx: no password' >&2; exit 2"}, "",
      kQuickWatch);
  EXPECT_TRUE(within_ms(5000, [&] { return sender.starts() >= 3; }));
  EXPECT_TRUE(within_ms(5000, [&] { return !sender.problem().empty(); }));
  const std::string problem = sender.problem();
  EXPECT_NE(problem.find("status 2"), std::string::npos) << problem;
  EXPECT_NE(problem.find("no password"), std::string::npos) << problem;
}

TEST(SenderWhileOpen, a_running_cfx_sender_is_left_alone_and_stopped_in_order) {
  long stopped_in_ms = 0;
  {
    cli::CfxSenderWhileOpen sender("/bin/sh", {"-c", "exec sleep 60"}, "", kQuickWatch);
    ASSERT_TRUE(sender.running());
    const pid_t first = sender.pid();
    platform::nap_ms(50);
    EXPECT_EQ(sender.pid(), first);
    EXPECT_EQ(sender.starts(), 1);
    EXPECT_EQ(sender.problem(), "");
    // Killed from outside: started again.
    platform::signal_process(first, SIGKILL);
    EXPECT_TRUE(within_ms(5000, [&] { return sender.starts() == 2 && sender.running(); }));
    stopped_in_ms = platform::monotonic_ms();
  }
  EXPECT_LT(platform::monotonic_ms() - stopped_in_ms, 2000) << "SIGTERM ends the child";
}

}  // namespace
