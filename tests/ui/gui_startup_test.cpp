// Start-up, the panel file and the selection panel, with the keyboard.
#include <QApplication>
#include <QTest>

#include "ui/gui_fixture.h"

using testing_support::GuiTest;
using testing_support::TempDir;

namespace {

// Types into the focused field, then Enter.
void type_and_enter(const char* text) {
  QApplication::processEvents();  // the field selects its text once it has the focus
  QTest::keyClicks(QApplication::focusWidget(), text);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

}  // namespace

TEST_F(GuiTest, a_missing_or_broken_panel_file_fails_start_up_naming_file_and_reason) {
  station("1 a.tms\n");
  struct Case {
    std::string content;  // empty: no file at all
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"", "No such file or directory"},
      {"<ui version=\"4.0\"><widget class=\"QWidget\"", "error"},
      {"<ui version=\"4.0\"><widget class=\"QWidget\" name=\"w\"/></ui>", "no panel 1"},
      {"<ui version=\"4.0\"><widget class=\"QWidget\" name=\"w\">"
       "<property name=\"panel\" stdset=\"0\"><number>1</number></property>"
       "<widget class=\"QPushButton\" name=\"b\">"
       "<property name=\"control\" stdset=\"0\"><number>4</number></property>"
       "<property name=\"callback\" stdset=\"0\"><string>LAUNCH</string></property>"
       "</widget></widget></ui>",
       "\"LAUNCH\""},
      // A misspelt layout class crashed the loader itself.
      {"<ui version=\"4.0\"><widget class=\"QWidget\" name=\"w\">"
       "<property name=\"panel\" stdset=\"0\"><number>1</number></property>"
       "<layout class=\"QVooLayBxut\" name=\"l\"><item>"
       "<widget class=\"QPushButton\" name=\"b\"/></item></layout></widget></ui>",
       "unknown layout class \"QVooLayBxut\""},
  };
  for (const Case& c : cases) {
    const std::string file = dir.path() + "/download.uir";
    std::filesystem::remove(file);
    if (!c.content.empty()) TempDir::write(file, c.content);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ui::main(file), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(file), std::string::npos) << err;
    EXPECT_NE(err.find(c.reason), std::string::npos) << err;
  }
}

TEST_F(GuiTest, without_custdefine_start_up_tells_the_operator_and_ends) {
  EXPECT_EQ(ui::main(FFSLOAD_PANEL_FILE), 0);
  ASSERT_EQ(panels.popups().size(), 1u);
  EXPECT_EQ(panels.popups()[0].title, "Error");
  EXPECT_EQ(panels.popups()[0].message, "Fail to open file <custdefine>");
}

TEST_F(GuiTest, the_sub_number_shows_only_for_the_qm_customer) {
  station("7 pyrel.tms\n12 dov.tms\n5 qm\n9 qm\n");
  const int status = run_gui([&] {
    EXPECT_EQ(ui::index_qm(), 5);
    EXPECT_EQ(attribute(ui::select_panel(), ui::kSubNumberControl, platform::kAttrVisible), 0);
    choose(5, 1);
    EXPECT_EQ(attribute(ui::select_panel(), ui::kSubNumberControl, platform::kAttrVisible), 1);
    choose(9, 1);
    EXPECT_EQ(attribute(ui::select_panel(), ui::kSubNumberControl, platform::kAttrVisible), 0);
    platform::QuitUserInterface(0);
  });
  EXPECT_EQ(status, 0);
}

TEST_F(GuiTest, keyboard_alone_walks_the_fields_and_opens_the_run_panel) {
  station("1 dov.tms\n5 qm\n5.2 sub.tms\n");
  customer_folder("sub", "SUB-MA_NO");
  const int status = run_gui([&] {
    QWidget* number = widget(ui::select_panel(), ui::kCustomerControl);
    number->window()->activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), number);
    // The focused field's text is selected: typing replaces it.
    type_and_enter("5");
    EXPECT_EQ(value(ui::select_panel(), ui::kCustomerControl), "5");
    ASSERT_EQ(QApplication::focusWidget(), widget(ui::select_panel(), ui::kSubNumberControl));
    type_and_enter("2");
    ASSERT_EQ(QApplication::focusWidget(), widget(ui::select_panel(), ui::kPortControl));
    QApplication::processEvents();
    in_next_loop([&] {
      EXPECT_EQ(value(platform::run_panel(), ui::kScriptNameControl), "sub.tms");
      EXPECT_EQ(value(platform::run_panel(), ui::kPortLabelControl), "COM 2");
      EXPECT_EQ(value(platform::run_panel(), ui::kMaNoControl), "SUB-MA_NO");
      QWidget* run_button = widget(platform::run_panel(), 4);
      run_button->window()->activateWindow();
      QApplication::processEvents();
      EXPECT_EQ(QApplication::focusWidget(), run_button);
      QTest::keyClick(run_button, Qt::Key_Return);  // Enter on Run runs (no script here)
      ASSERT_FALSE(panels.popups().empty());
      EXPECT_EQ(panels.popups().back().message, "Fail to open file <*.tms>");
      EXPECT_EQ(log_colour(), platform::kColorYellow);
      QTest::keyClick(run_button, Qt::Key_X, Qt::AltModifier);  // Exit
    });
    // Enter on the port opens the run panel.
    QTest::keyClicks(QApplication::focusWidget(), "2");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  });
  EXPECT_EQ(status, 0);
}
