#include "run/run_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/headless_ui.h"
#include "platform/run_panel.h"
#include "support/temp_dir.h"

namespace {

std::string content(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class RunLogSave : public ::testing::Test {
 protected:
  void SetUp() override { platform::set_user_interface(&ui); }
  void TearDown() override { platform::set_user_interface(nullptr); }
  platform::HeadlessUserInterface ui;
  testing_support::TempDir dir;
};

}  // namespace

TEST_F(RunLogSave, saves_in_one_second_never_overwrite_each_other) {
  platform::append_run_log_line("first");
  const run::SavedLog one = run::save_run_log();
  platform::append_run_log_line(std::string(120, 'x').c_str());  // saved whole
  const run::SavedLog two = run::save_run_log();
  ASSERT_TRUE(one.saved && two.saved) << one.error << two.error;
  EXPECT_NE(one.name, two.name);
  EXPECT_EQ(content(one.name), "first\r\n");
  EXPECT_EQ(content(two.name), "first\r\n" + std::string(120, 'x') + "\r\n");
  // Within one second the second save takes the counter before ".txt".
  if (one.name.substr(0, 20) == two.name.substr(0, 20)) {
    EXPECT_EQ(two.name, one.name.substr(0, 20) + "-2.txt");
  }
  EXPECT_EQ(ui.control(platform::run_panel(), platform::kSaveButtonControl)
                .attributes.at(platform::kAttrVisible),
            1);
}

TEST_F(RunLogSave, a_log_that_cannot_be_written_is_reported_not_saved) {
  platform::append_run_log_line("line");
  std::filesystem::remove_all(dir.path());  // the start folder is gone
  const run::SavedLog saved = run::save_run_log();
  EXPECT_FALSE(saved.saved);
  EXPECT_FALSE(saved.error.empty());
  EXPECT_TRUE(saved.name.starts_with("Download_")) << saved.name;
}
