#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
