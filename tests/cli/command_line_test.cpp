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
  // The operator's notice says the same, without the program's name, and
  // stays while each new start stops again.
  const platform::OperatorText notice = sender.notice();
  EXPECT_EQ(notice.id, "cfx.sender_cannot_run");
  ASSERT_EQ(notice.args.size(), 1u);
  EXPECT_EQ(notice.args[0], "status 2: no password");
}

TEST(SenderWhileOpen, a_running_cfx_sender_is_left_alone_and_stopped_in_order) {
  long stopped_in_ms = 0;
  {
    // Healthy after 20 ms; a stop is told until the next one has run 300 ms.
    cli::CfxSenderWhileOpen sender("/bin/sh", {"-c", "exec sleep 60"}, "",
                                   cli::CfxSenderWhileOpen::Watch{5, 10, 40, 20, 300});
    ASSERT_TRUE(sender.running());
    const pid_t first = sender.pid();
    platform::nap_ms(50);
    EXPECT_EQ(sender.pid(), first);
    EXPECT_EQ(sender.starts(), 1);
    EXPECT_EQ(sender.problem(), "");
    EXPECT_TRUE(sender.notice().empty());
    // Killed from outside: started again, and the operator told so until
    // the new one has run a while.
    platform::signal_process(first, SIGKILL);
    EXPECT_TRUE(within_ms(5000, [&] { return sender.starts() == 2 && sender.running(); }));
    EXPECT_EQ(sender.notice(), (platform::OperatorText{"cfx.sender_stopped",
                                                       {"signal " + std::to_string(SIGKILL)}}));
    EXPECT_TRUE(within_ms(5000, [&] { return sender.notice().empty(); }));
    stopped_in_ms = platform::monotonic_ms();
  }
  EXPECT_LT(platform::monotonic_ms() - stopped_in_ms, 2000) << "SIGTERM ends the child";
}

}  // namespace
