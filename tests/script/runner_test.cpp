#include "script/runner.h"

#include <filesystem>

#include "platform/user_interface.h"
#include "script/command_table.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

using testing_support::TempDir;

class ScriptRunner : public testing_support::SimulatedHandsetTest {
 protected:
  void run(const std::string& script) {
    TempDir::write("test.tms", script);
    runner.tmsfile = "test.tms";
    platform::SetCtrlAttribute(platform::run_panel(), platform::kRunLogControl,
                               platform::kAttrBackColor, platform::kColorYellow);
    runner.download();
  }
  int colour() {
    return ui.control(platform::run_panel(), platform::kRunLogControl)
        .attributes.at(platform::kAttrBackColor);
  }
  std::string counter() {
    return ui.control(platform::run_panel(), platform::kLineCounterControl).value;
  }
  int first_visible() {
    auto& attrs = ui.control(platform::run_panel(), platform::kRunLogControl).attributes;
    auto it = attrs.find(platform::kAttrFirstVisibleLine);
    return it == attrs.end() ? -1 : it->second;
  }
  TempDir dir;
  script::Runner runner{link, imei};
};

TEST_F(ScriptRunner, runs_every_command_and_turns_green) {
  run("tms 1\nti\nse 3\nsleep 500\n");
  EXPECT_EQ(log(), (std::vector<std::string>{"tms 1  => 0 (1)", "ti  => 0 (1)", "se 3  => 0 (1)",
                                             "sleep 500"}));
  EXPECT_EQ(colour(), platform::kColorGreen);
  EXPECT_EQ(counter(), "4");
}

TEST_F(ScriptRunner, stops_at_the_first_failure_and_never_reads_the_next_line) {
  fault("refuse:0x20");
  run("ti\ntms 1\n");
  EXPECT_EQ(log(), std::vector<std::string>{"ti  => 100 (5)"});
  EXPECT_EQ(colour(), platform::kColorRed);
  EXPECT_EQ(counter(), "1");
  for (const auto& r : requests()) EXPECT_EQ(r.id, 0x20);
}

TEST_F(ScriptRunner, empty_and_comment_only_scripts_turn_green_without_commands) {
  run("");
  EXPECT_EQ(colour(), platform::kColorGreen);
  EXPECT_EQ(counter(), "");
  run("free text\n\n TMS 1\n\ttms 1\nTms\n");
  EXPECT_EQ(colour(), platform::kColorGreen);
  EXPECT_EQ(counter(), "5");
  EXPECT_TRUE(requests().empty());
  EXPECT_TRUE(log().empty());
}

TEST_F(ScriptRunner, missing_script_shows_the_message_box_and_leaves_the_colour) {
  runner.tmsfile = "no-such.tms";
  platform::SetCtrlAttribute(platform::run_panel(), platform::kRunLogControl,
                             platform::kAttrBackColor, platform::kColorYellow);
  const int open_before = open_descriptors();
  EXPECT_EQ(runner.download().outcome, script::RunOutcome::kNoRun);
  ASSERT_EQ(ui.popups().size(), 1u);
  EXPECT_EQ(ui.popups()[0].title, "Error");
  EXPECT_EQ(ui.popups()[0].message, "Fail to open file <*.tms>");
  EXPECT_EQ(colour(), platform::kColorYellow);
  EXPECT_EQ(open_descriptors(), open_before);
}

TEST_F(ScriptRunner, a_folder_named_as_the_script_is_a_script_that_cannot_be_opened) {
  std::filesystem::create_directory("dov");
  runner.tmsfile = "dov";
  platform::SetCtrlAttribute(platform::run_panel(), platform::kRunLogControl,
                             platform::kAttrBackColor, platform::kColorYellow);
  const int open_before = open_descriptors();
  runner.download();
  EXPECT_EQ(open_descriptors(), open_before);  // the folder opened, and was closed again
  ASSERT_EQ(ui.popups().size(), 1u);
  EXPECT_EQ(ui.popups()[0].message, "Fail to open file <*.tms>");
  EXPECT_EQ(colour(), platform::kColorYellow);
}

TEST_F(ScriptRunner, scrolls_the_log_from_line_fifteen_on) {
  std::string fourteen;
  for (int i = 0; i < 14; ++i) fourteen += "x\n";
  run(fourteen);
  EXPECT_EQ(first_visible(), -1);
  run(fourteen + "x\n");
  EXPECT_EQ(first_visible(), 1);
  run(fourteen + "x\nx\nx\nx\nx\nx\n");  // twenty lines
  EXPECT_EQ(first_visible(), 6);
}

TEST_F(ScriptRunner, keywords_match_at_the_line_start_whatever_follows) {
  run("tms0\ntms 0 extra\nsexy 7\n");  // "se" matches "sexy": its word 2 is 7
  ASSERT_EQ(requests().size(), 3u);
  EXPECT_EQ(requests()[0].payload[0], 0x01);  // "tms0" is not "tms 0"
  EXPECT_EQ(requests()[1].payload[0], 0x00);
  EXPECT_EQ(requests()[2].id, 0x54);
  EXPECT_EQ(requests()[2].payload[0], 7);
}

TEST_F(ScriptRunner, a_long_line_runs_as_two_lines) {
  // The second part of the 50-character line begins with "ti".
  run("se 1" + std::string(35, ' ') + "ti and more text\n");
  ASSERT_EQ(log().size(), 2u);
  EXPECT_EQ(log()[1], "ti and more text  => 0 (1)");
  EXPECT_EQ(counter(), "2");
}

TEST_F(ScriptRunner, refuses_a_word_too_long_for_its_buffer_before_any_request) {
  run("se 12345678901234567890\nti\n");  // word 2 of "se" holds 19 characters
  EXPECT_EQ(log(), std::vector<std::string>{
                       "se 12345678901234567890  => 2 (0): word 2 longer than 19 characters"});
  EXPECT_TRUE(requests().empty());
  EXPECT_EQ(colour(), platform::kColorRed);
}

TEST_F(ScriptRunner, command_table_keeps_its_twenty_keywords_in_order) {
  std::vector<std::string_view> keywords;
  for (const auto& c : script::command_table()) keywords.push_back(c.keyword);
  EXPECT_EQ(keywords, (std::vector<std::string_view>{
                          "tms",  "stw",   "str", "ti",      "cd",     "rm",      "se",
                          "mkfs", "mkdir", "fwr", "compare", "check",  "frd",     "cw",
                          "cr",   "spw",   "rfe", "sleep",   "agcdcs", "resetnvm"}));
  // No keyword begins with another, so at most one row can match a line.
  for (auto a : keywords) {
    for (auto b : keywords) {
      if (a != b) {
        EXPECT_FALSE(a.starts_with(b)) << a << " begins with " << b;
      }
    }
  }
}

TEST_F(ScriptRunner, a_script_changed_between_runs_takes_effect) {
  run("ti\n");
  run("se 9\n");
  EXPECT_EQ(requests().back().id, 0x54);
}
