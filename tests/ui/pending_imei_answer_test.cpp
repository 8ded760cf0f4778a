// The operator GUI's answer to the pending-IMEI question, over the headless
// back end: its Yes/No box answers from a queue, echoes the question as it
// echoes message boxes, and an empty queue is nobody answering.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/headless_ui.h"
#include "run/imei_journal.h"
#include "support/recorded_sounds.h"

namespace {

class PendingImeiAnswer : public ::testing::Test {
 protected:
  void SetUp() override { platform::set_user_interface(&ui); }
  void TearDown() override { platform::set_user_interface(nullptr); }
  fs::PendingAnswer ask() {
    return run::ask_in_confirm_popup(fs::PendingImei{}, {}, "Is this that handset?");
  }
  platform::HeadlessUserInterface ui;
};

}  // namespace

TEST_F(PendingImeiAnswer, yes_restores_no_keeps_aside_anything_else_is_no_answer) {
  for (int queued : {1, 0, -1, 7}) ui.queue_confirm_answer(queued);
  EXPECT_EQ(ask(), fs::PendingAnswer::kRestore);
  EXPECT_EQ(ask(), fs::PendingAnswer::kKeepAside);
  EXPECT_EQ(ask(), fs::PendingAnswer::kNoAnswer);
  EXPECT_EQ(ask(), fs::PendingAnswer::kNoAnswer);  // a back end's stray value is no Yes
  EXPECT_EQ(ask(), fs::PendingAnswer::kNoAnswer);  // the queue is empty: nobody answers
  ASSERT_EQ(ui.confirms().size(), 5u);
  EXPECT_EQ(ui.confirms()[0].title, "Pending IMEI");
  EXPECT_EQ(ui.confirms()[0].message, "Is this that handset?");
  EXPECT_TRUE(ui.popups().empty());  // questions are not message boxes
}

TEST_F(PendingImeiAnswer, the_question_is_echoed_where_message_boxes_go) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ui.echo_popups(out);
  ui.queue_confirm_answer(0);
  EXPECT_EQ(platform::ConfirmPopup("Pending IMEI", "Is this that handset?"), 0);
  std::rewind(out);
  char text[80] = {};
  ASSERT_NE(std::fgets(text, sizeof text, out), nullptr);
  EXPECT_STREQ(text, "Pending IMEI: Is this that handset?\n");
  std::fclose(out);
}

TEST_F(PendingImeiAnswer, a_question_calls_the_operator_with_its_sound_unless_sounds_are_off) {
  testing_support::RecordedSounds sounds;
  ui.queue_confirm_answer(1);
  EXPECT_EQ(ask(), fs::PendingAnswer::kRestore);
  EXPECT_EQ(sounds.played, std::vector<platform::Sound>{platform::Sound::kQuestion});
  platform::use_sounds(false);
  ui.queue_confirm_answer(0);
  EXPECT_EQ(ask(), fs::PendingAnswer::kKeepAside);
  EXPECT_EQ(sounds.played.size(), 1u);  // silence, and the question still asked
  EXPECT_EQ(ui.confirms().size(), 2u);
}
