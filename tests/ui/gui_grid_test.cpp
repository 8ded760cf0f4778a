// The station grid's window on the offscreen platform, over fake repeat-mode
// children: the customer chosen with the keyboard, Enter on a focused tile,
// Run all, Ctrl+S, and closing, which waits for every child.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <QTranslator>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/grid_window.h"
#include "gtest/gtest.h"
#include "multiport/station_grid.h"
#include "station/customer_definition.h"
#include "support/temp_dir.h"

using testing_support::TempDir;

namespace {

// Port 2's handset fails; the others load.
const char* const kChild = R"(n=0
while :; do
  n=$((n+1)); echo "port $1 run $n"
  if [ "$1" = 2 ]; then echo "run $n: red, 3 s, line 1: ti => 100"; else echo "run $n: green, 5 s"; fi
  read a || exit 0; [ "$a" = q ] && exit 0
done)";

bool until(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool coloured(GridWindow& w, int port, const char* colour) {
  return w.tile(port).log->styleSheet().contains(colour);
}

}  // namespace

TEST(GridWindow, keyboard_and_buttons_drive_the_tiles_and_closing_waits_for_the_children) {
  TempDir dir;
  TempDir::write("custdefine", "1 main.tms\n5 qm\n");
  std::filesystem::create_directory("main");
  TempDir::write("main/MA_NO", "MA-0001");
  multiport::StationGrid grid(dir.path(), {{1, "/dev/fake1"}, {2, "/dev/fake2"}, {3, "/dev/fake3"}},
                              dir.path() + "/runs.sqlite");
  grid.set_child_command([](int port, const std::string&) {
    return std::vector<std::string>{"/bin/sh", "-c", kChild, "sh", std::to_string(port)};
  });
  GridWindow window(grid, {"comports line 4: port 9 is not a port 1 to 8: left out"});
  window.show();
  window.activateWindow();
  EXPECT_TRUE(window.status_label()->text().contains("port 9"));
  EXPECT_FALSE(window.tile(1).run->isEnabled());  // no customer yet

  // The customer, typed and confirmed; the sub-number shows for "qm" only.
  window.customer_box()->setFocus();
  QApplication::processEvents();
  window.customer_box()->selectAll();
  QTest::keyClicks(window.customer_box(), "5");
  EXPECT_TRUE(window.sub_number_box()->isVisible());
  window.customer_box()->selectAll();
  QTest::keyClicks(window.customer_box(), "1");
  EXPECT_FALSE(window.sub_number_box()->isVisible());
  QTest::keyClick(window.customer_box(), Qt::Key_Return);
  EXPECT_TRUE(window.customer_label()->text().contains("MA-0001"))
      << window.customer_label()->text().toStdString();
  ASSERT_EQ(QApplication::focusWidget(), window.tile(1).frame);

  // Enter on the focused tile runs it alone.
  QTest::keyClick(window.tile(1).frame, Qt::Key_Return);
  ASSERT_TRUE(until([&] { return coloured(window, 1, "#00FF00"); }));
  EXPECT_EQ(window.tile(1).log->toPlainText(), "port 1 run 1");
  EXPECT_EQ(window.tile(1).elapsed->text(), "elapsed 5 s");
  EXPECT_TRUE(coloured(window, 2, "#FFFFFF"));

  window.run_all_button()->click();
  ASSERT_TRUE(
      until([&] { return coloured(window, 2, "#FF0000") && coloured(window, 3, "#00FF00"); }));
  ASSERT_TRUE(until([&] { return coloured(window, 1, "#00FF00"); }));
  EXPECT_EQ(window.tile(1).log->toPlainText(), "port 1 run 2");
  EXPECT_EQ(window.tile(1).counts->text(), "runs 2   green 2   red 0");
  EXPECT_EQ(window.tile(2).counts->text(), "runs 1   green 0   red 1");

  // Ctrl+S on a tile saves its log into its port's folder.
  window.tile(2).frame->setFocus();
  QTest::keyClick(window.tile(2).frame, Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(window.tile(2).message->text().contains("/ports/2/Download_"))
      << window.tile(2).message->text().toStdString();

  // The sender's trouble below the customer row, in the operator's words,
  // and gone once it runs again.
  EXPECT_FALSE(window.station_notice_label()->isVisible());
  window.show_station_notice({"cfx.sender_cannot_run", {"status 2: <b>no</b> password"}});
  EXPECT_TRUE(window.station_notice_label()->isVisible());
  EXPECT_EQ(window.station_notice_label()->text().toStdString(),
            "CFX: the sender cannot run (status 2: <b>no</b> password); the messages wait in the "
            "station's queue and it is tried again");
  EXPECT_EQ(window.station_notice_label()->textFormat(), Qt::PlainText);
  window.show_station_notice({});
  EXPECT_FALSE(window.station_notice_label()->isVisible());

  window.close();
  EXPECT_TRUE(window.isVisible());  // until every child has ended
  ASSERT_TRUE(until([&] { return !window.isVisible(); }));
  EXPECT_TRUE(grid.finished());
}

TEST(GridWindow,
     a_tile_asks_about_a_pending_imei_as_typed_and_y_n_from_within_it_or_a_click_answers) {
  TempDir dir;
  TempDir::write("custdefine", "1 main.tms\n");
  std::filesystem::create_directory("main");
  TempDir::write("main/MA_NO", "MA-0001");
  multiport::StationGrid grid(dir.path(), {{1, "/dev/fake1"}, {2, "/dev/fake2"}, {3, "/dev/fake3"}},
                              dir.path() + "/runs.sqlite");
  // Port 1's pending run was of a unit whose serial is markup: the question
  // must still show it as scanned, with the IMEI and the question after it.
  // Each child first reads its unit's serial (none: an empty line).
  grid.set_child_command([](int port, const std::string&) {
    return std::vector<std::string>{"/bin/sh", "-c", R"sh(
read u || exit 0
who=""; [ "$1" = 1 ] && who=" (unit <b>SN2</b><!--)"
q="The run on port $1 at 10:00:00$who stopped after the format, before IMEI 0102030405060708 was written back. Is this that handset? Yes gives it IMEI 0102030405060708 back. No keeps IMEI 0102030405060708 aside for good: no handset gets it unless an engineer restores it."
echo "ffsload: $q" >&2; printf 'Answer yes or no: ' >&2
read a || exit 0; echo "answer $a"; echo "run 1: green, 1 s"; read a)sh",
                                    "sh", std::to_string(port)};
  });
  station::StationSettings settings;
  settings.unit_serial = station::Asking::kOptional;
  grid.set_settings(settings);
  std::string error;
  ASSERT_TRUE(grid.choose_customer(1, 0, &error)) << error;
  GridWindow window(grid, {});
  window.show();
  window.activateWindow();
  EXPECT_FALSE(window.tile(1).question_box->isVisible());
  window.run_all_button()->click();
  ASSERT_TRUE(until([&] {
    return window.tile(1).question_box->isVisible() && window.tile(2).question_box->isVisible() &&
           window.tile(3).question_box->isVisible();
  }));
  QLabel* question = window.tile(1).question;
  EXPECT_EQ(question->textFormat(), Qt::PlainText);
  EXPECT_TRUE(question->text().contains("(unit <b>SN2</b><!--) stopped after the format"));
  EXPECT_TRUE(question->text().contains("Is this that handset? Yes gives it IMEI 0102030405060708"))
      << question->text().toStdString();
  EXPECT_EQ(window.tile(1).elapsed->text(), "waiting for your answer");

  // Enter on the asking tile, even on its buttons, answers nothing.
  window.tile(1).frame->setFocus();
  QTest::keyClick(window.tile(1).frame, Qt::Key_Return);
  QTest::keyClick(window.tile(1).yes, Qt::Key_Return);
  QTest::keyClick(window.tile(1).no, Qt::Key_Enter);
  for (int i = 0; i < 10; ++i) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(window.tile(1).question_box->isVisible());
  EXPECT_TRUE(window.tile(1).log->toPlainText().isEmpty());

  // Y in the tile's unit field (where the focus is when serials are on)
  // answers the tile, and never becomes part of the next serial.
  QLineEdit* unit = window.tile(1).unit;
  ASSERT_NE(unit, nullptr);
  unit->setFocus();
  QTest::keyClick(unit, Qt::Key_Y);
  EXPECT_EQ(unit->text(), "");
  window.tile(3).frame->setFocus();
  QTest::keyClick(window.tile(3).frame, Qt::Key_N);  // N on the focused tile
  window.tile(2).yes->click();                       // or a click
  ASSERT_TRUE(until([&] {
    return coloured(window, 1, "#00FF00") && coloured(window, 2, "#00FF00") &&
           coloured(window, 3, "#00FF00");
  }));
  EXPECT_EQ(window.tile(1).log->toPlainText(), "answer yes");
  EXPECT_EQ(window.tile(2).log->toPlainText(), "answer yes");
  EXPECT_EQ(window.tile(3).log->toPlainText(), "answer no");
  EXPECT_FALSE(window.tile(1).question_box->isVisible());
  // No question open: Y is a letter of a serial again.
  QTest::keyClick(unit, Qt::Key_Y);
  EXPECT_EQ(unit->text(), "y");

  window.close();
  ASSERT_TRUE(until([&] { return !window.isVisible(); }));
}

// Where an empty line edit draws its placeholder, as QLineEdit paints it:
// inside the frame, less the text margins, two pixels each side and the
// font's left overhang; a longer hint is elided.
int placeholder_room(QLineEdit* field) {
  QStyleOptionFrame frame;
  frame.initFrom(field);
  frame.rect = field->rect();
  frame.lineWidth = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, field);
  const QRect contents = field->style()->subElementRect(QStyle::SE_LineEditContents, &frame, field);
  const QMargins margins = field->textMargins();
  return contents.width() - margins.left() - margins.right() - 2 * 2 -
         std::max(0, -field->fontMetrics().minLeftBearing());
}

TEST(GridWindow, an_operator_id_once_and_a_scan_into_a_tile_runs_that_tile) {
  TempDir dir;
  TempDir::write("custdefine", "1 main.tms\n");
  std::filesystem::create_directory("main");
  TempDir::write("main/MA_NO", "MA-0001");

  // The operator field's hint is shown whole in every language, at the
  // window's own size: the translations are longer than the English...
  for (const char* language : {"en", "zh_CN", "vi", "es", "pt_BR"}) {
    SCOPED_TRACE(language);
    QTranslator translator;
    if (std::string(language) != "en") {
      ASSERT_TRUE(translator.load(QString(":/i18n/ffsload_%1").arg(language)));
      QCoreApplication::installTranslator(&translator);
    }
    multiport::StationGrid idle(dir.path(), {{1, "/dev/fake1"}, {2, "/dev/fake2"}},
                                dir.path() + "/runs.sqlite");
    station::StationSettings asking;
    asking.operator_id = station::Asking::kOptional;
    idle.set_settings(asking);
    {
      GridWindow window(idle, {});
      window.show();
      QApplication::processEvents();
      QLineEdit* field = window.operator_box();
      ASSERT_NE(field, nullptr);
      const QString hint = field->placeholderText();
      EXPECT_EQ(hint != "scan your badge or type your id, Enter", std::string(language) != "en")
          << hint.toStdString();
      EXPECT_GE(placeholder_room(field), field->fontMetrics().horizontalAdvance(hint))
          << hint.toStdString();
      // ... and on a 1024-pixel screen.
      EXPECT_LE(window.minimumSizeHint().width(), 960);
      window.close();
    }
    QCoreApplication::removeTranslator(&translator);
  }
  multiport::StationGrid grid(dir.path(), {{1, "/dev/fake1"}, {2, "/dev/fake2"}},
                              dir.path() + "/runs.sqlite");
  // Each run echoes the serial it was given (on its command line, then read).
  grid.set_child_command([](int port, const std::string&) {
    return std::vector<std::string>{
        "/bin/sh", "-c",
        "port=$1; shift; for a; do case $a in --unit=*) u=${a#--unit=};; esac; done\n"
        "while :; do echo \"port $port unit $u\"; echo \"run 1: green, 1 s\"; "
        "read u || exit 0; [ \"$u\" = q ] && exit 0; done",
        "sh", std::to_string(port)};
  });
  station::StationSettings settings;
  settings.unit_serial = station::Asking::kRequired;
  settings.operator_id = station::Asking::kRequired;
  grid.set_settings(settings);
  std::string error;
  ASSERT_TRUE(grid.choose_customer(1, 0, &error)) << error;
  GridWindow window(grid, {});
  window.show();
  window.activateWindow();
  QApplication::processEvents();
  ASSERT_NE(window.operator_box(), nullptr);
  EXPECT_EQ(QApplication::focusWidget(), window.operator_box());
  QTest::keyClicks(window.operator_box(), "anna");
  QTest::keyClick(window.operator_box(), Qt::Key_Return);
  EXPECT_EQ(grid.operator_id(), "anna");
  QLineEdit* unit = window.tile(2).unit;
  ASSERT_NE(unit, nullptr);
  EXPECT_EQ(QApplication::focusWidget(), window.tile(1).unit);

  // Enter alone on a station that requires the serial: nothing runs.
  QTest::keyClick(unit, Qt::Key_Return);
  EXPECT_TRUE(window.tile(2).unit_status->text().contains("requires its serial"));
  QTest::keyClicks(unit, "SN-42");
  QTest::keyClick(unit, Qt::Key_Return);
  EXPECT_EQ(unit->text(), "");
  ASSERT_TRUE(until([&] { return coloured(window, 2, "#00FF00"); }));
  EXPECT_EQ(window.tile(2).log->toPlainText(), "port 2 unit SN-42");
  EXPECT_TRUE(coloured(window, 1, "#FFFFFF"));  // the other tile did not run

  QTest::keyClicks(unit, "SN-43");
  QTest::keyClick(unit, Qt::Key_Return);
  ASSERT_TRUE(until([&] { return window.tile(2).log->toPlainText() == "port 2 unit SN-43"; }));
  window.close();
  ASSERT_TRUE(until([&] { return grid.finished(); }));
}
