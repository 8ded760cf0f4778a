// The unit field, the operator's id and the fixture alarm on the panels:
// scan to run, refusals on the status line, a scan during a run dropped.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "records/sqlite_store.h"
#include "support/hidden_identities.h"
#include "ui/gui_fixture.h"

using testing_support::GuiTest;
using testing_support::TempDir;

namespace {

constexpr int kOpenButton = 5;
constexpr int kRunButton = 4;
constexpr int kExitButton = 7;

const std::string kScript = "tms 1\nti\nsleep 2500\n";

// A fake clock that calls a hook the first time something sleeps.
class HookedTime final : public platform::TimeSource {
 public:
  explicit HookedTime(platform::FakeTime& inner) : inner_(inner) {}
  long now_ms() override { return inner_.now_ms(); }
  void sleep_ms(long ms) override { sleep_us(static_cast<long long>(ms) * 1000); }
  void sleep_us(long long us) override {
    if (hook_) std::exchange(hook_, nullptr)();
    inner_.sleep_us(us);
  }
  std::function<void()> hook_;

 private:
  platform::FakeTime& inner_;
};

// As a barcode scanner types: the characters, then Enter.
void scan(QWidget* field, const std::string& text) {
  QTest::keyClicks(field, QString::fromStdString(text));
  QTest::keyClick(field, Qt::Key_Return);
}

void post_scan(QWidget* field, const std::string& text) {
  for (char c : text + "\r") {
    const int key = c == '\r' ? Qt::Key_Return : static_cast<int>(QChar(c).toUpper().unicode());
    const QString typed = c == '\r' ? QString("\r") : QString(QChar(c));
    QCoreApplication::postEvent(field, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, typed));
    QCoreApplication::postEvent(field,
                                new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, typed));
  }
}

// The control its window gives the keyboard to (offscreen windows are not
// always the active one).
bool focused(QWidget* w) {
  return w && w->window()->focusWidget() == w;
}

QLineEdit* line_edit(QWidget* w) {
  return qobject_cast<QLineEdit*>(w);
}

class GuiUnitTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    unsetenv("FFSLOAD_RECORDS");
    station("1 t.tms\n");
    TempDir::write("t.tms", kScript);
  }
  std::vector<records::Row> recorded(const std::string& columns) {
    records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
    return store.query("SELECT " + columns + " FROM runs ORDER BY id", {});
  }
};

}  // namespace

TEST_F(GuiUnitTest, a_scan_that_matches_runs_at_once_and_one_that_does_not_is_refused) {
  TempDir::write("ffsload.conf",
                 "unit-serial = required\nunit-serial-pattern = SN[0-9]{4}\noperator = required\n");
  const int status = run_gui([&] {
    QWidget* op = widget(ui::select_panel(), ui::kOperatorControl);
    ASSERT_NE(op, nullptr);
    EXPECT_TRUE(op->isVisible());
    EXPECT_TRUE(focused(op));
    choose(1, 3);
    // No operator yet: the run panel does not open.
    press(ui::select_panel(), kOpenButton);
    ASSERT_EQ(panels.popups().size(), 1u);
    EXPECT_NE(panels.popups()[0].message.find("requires the operator's id"), std::string::npos);
    scan(op, "anna");
    EXPECT_TRUE(focused(widget(ui::select_panel(), ui::kCustomerControl)));
    in_next_loop([&] {
      const int run = platform::run_panel();
      QWidget* field = widget(run, ui::kUnitFieldControl);
      ASSERT_NE(field, nullptr);
      EXPECT_TRUE(focused(field));
      EXPECT_EQ(value(run, ui::kOperatorNameControl), "anna");
      EXPECT_FALSE(widget(run, ui::kFixtureAlarmControl)->isVisible());

      // Required: Run without a serial runs nothing.
      press(run, kRunButton);
      EXPECT_TRUE(line.requests().empty());
      EXPECT_NE(value(run, ui::kUnitStatusControl).find("requires its serial"), std::string::npos);
      EXPECT_TRUE(focused(field));

      scan(field, "SN12");
      EXPECT_TRUE(line.requests().empty());
      EXPECT_NE(value(run, ui::kUnitStatusControl)
                    .find("\"SN12\" does not match the station's pattern SN[0-9]{4}"),
                std::string::npos)
          << value(run, ui::kUnitStatusControl);
      // Selected: the next scan replaces it.
      EXPECT_EQ(line_edit(field)->selectedText(), "SN12");

      scan(field, "SN0001");
      EXPECT_FALSE(line.requests().empty());
      EXPECT_EQ(log_colour(), platform::kColorGreen);
      EXPECT_EQ(value(run, ui::kUnitFieldControl), "");  // never carried to the next unit
      EXPECT_EQ(value(run, ui::kUnitStatusControl), "unit SN0001: attempt 1");
      EXPECT_TRUE(focused(field));

      scan(field, "SN0001");
      EXPECT_NE(
          value(run, ui::kUnitStatusControl).find("unit SN0001: attempt 2, passed before at "),
          std::string::npos)
          << value(run, ui::kUnitStatusControl);
      press(run, kExitButton);
    });
    scan(widget(ui::select_panel(), ui::kPortControl), "");
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(recorded("unit_serial, operator, attempt, outcome"),
            (std::vector<records::Row>{{"SN0001", "anna", "1", "green"},
                                       {"SN0001", "anna", "2", "green"}}));
}

// A scanner types through the keyboard, whose control and format characters
// a field drops; a paste or an input method puts them in all the same.
TEST_F(GuiUnitTest,
       serials_and_operator_ids_that_hide_or_reorder_text_are_refused_naming_the_character) {
  TempDir::write("ffsload.conf", "unit-serial = required\noperator = required\n");
  const int status = run_gui([&] {
    QLineEdit* op = line_edit(widget(ui::select_panel(), ui::kOperatorControl));
    ASSERT_NE(op, nullptr);
    choose(1, 3);
    std::size_t popups = 0;
    for (const auto& sample : testing_support::hidden_identities()) {
      if (!sample.utf8) continue;
      op->setText(QString::fromStdString(sample.text));
      press(ui::select_panel(), kOpenButton);
      ASSERT_EQ(panels.popups().size(), ++popups) << sample.what;
      EXPECT_NE(panels.popups().back().message.find("holds " + sample.named), std::string::npos)
          << sample.what << ": " << panels.popups().back().message;
    }
    op->setText("anna");
    in_next_loop([&] {
      const int run = platform::run_panel();
      QLineEdit* field = line_edit(widget(run, ui::kUnitFieldControl));
      for (const auto& sample : testing_support::hidden_identities()) {
        if (!sample.utf8) continue;
        field->setText(QString::fromStdString(sample.text));
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_TRUE(line.requests().empty()) << sample.what;
        EXPECT_NE(value(run, ui::kUnitStatusControl).find("holds " + sample.named),
                  std::string::npos)
            << sample.what << ": " << value(run, ui::kUnitStatusControl);
      }
      press(run, kExitButton);
    });
    press(ui::select_panel(), kOpenButton);
  });
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(std::filesystem::exists("runs.sqlite"));
}

TEST_F(GuiUnitTest, a_scan_during_a_run_is_dropped_not_queued_for_the_next_unit) {
  TempDir::write("ffsload.conf", "unit-serial = optional\n");
  HookedTime time(clock);
  platform::set_time_source(&time);
  const int status = run_gui([&] {
    EXPECT_FALSE(widget(ui::select_panel(), ui::kOperatorControl)->isVisible());
    choose(1, 3);
    in_next_loop([&] {
      const int run = platform::run_panel();
      QWidget* field = widget(run, ui::kUnitFieldControl);
      time.hook_ = [&] {
        EXPECT_TRUE(panels.input_blocked());
        post_scan(field, "SN0002");
        QApplication::processEvents();  // as a repaint would
      };
      scan(field, "SN0001");
      const std::size_t one_run = line.requests().size();
      QApplication::processEvents();
      EXPECT_EQ(line.requests().size(), one_run);
      EXPECT_EQ(value(run, ui::kUnitFieldControl), "");
      // Optional: Enter alone runs without a serial.
      QTest::keyClick(field, Qt::Key_Return);
      EXPECT_EQ(line.requests().size(), 2 * one_run);
      press(run, kExitButton);
    });
    press(ui::select_panel(), kOpenButton);
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(recorded("unit_serial, operator"),
            (std::vector<records::Row>{{"SN0001", std::nullopt}, {std::nullopt, std::nullopt}}));
}

TEST_F(GuiUnitTest, a_fixture_failing_unit_after_unit_is_shown_until_a_green_run) {
  TempDir::write("ffsload.conf", "unit-serial = optional\nfixture-alarm = 2\n");
  fault("refuse:0x20:1:10");  // ti refused: the first two runs are red
  const int status = run_gui([&] {
    choose(1, 3);
    in_next_loop([&] {
      const int run = platform::run_panel();
      QWidget* field = widget(run, ui::kUnitFieldControl);
      QWidget* alarm = widget(run, ui::kFixtureAlarmControl);
      scan(field, "A1");
      EXPECT_EQ(log_colour(), platform::kColorRed);
      EXPECT_FALSE(alarm->isVisible());
      scan(field, "B2");
      EXPECT_EQ(log_colour(), platform::kColorRed);
      EXPECT_TRUE(alarm->isVisible());
      EXPECT_EQ(value(run, ui::kFixtureAlarmControl),
                "check the fixture on port 3: 2 red runs in a row\nfailing line 2: ti (2x)");
      scan(field, "C3");
      EXPECT_EQ(log_colour(), platform::kColorGreen);
      EXPECT_FALSE(alarm->isVisible());
      press(run, kExitButton);
    });
    press(ui::select_panel(), kOpenButton);
  });
  EXPECT_EQ(status, 0);
}

TEST_F(GuiUnitTest, settings_that_stop_the_station_keep_the_panels_closed_naming_the_line) {
  TempDir::write("ffsload.conf", "# line\nunit-serial = required\nunit-serial-pattern = (SN\n");
  const int status = ui::main(FFSLOAD_PANEL_FILE);
  EXPECT_EQ(status, -1);
  ASSERT_EQ(panels.popups().size(), 1u);
  EXPECT_NE(panels.popups()[0].message.find("ffsload.conf line 3: unit-serial-pattern"),
            std::string::npos)
      << panels.popups()[0].message;
}

TEST_F(GuiUnitTest, a_restyled_panel_file_without_the_unit_field_is_named_not_left_unusable) {
  TempDir::write("ffsload.conf", "unit-serial = optional\n");
  // The station's own panel file, from before the unit field.
  std::string file = TempDir::read(FFSLOAD_PANEL_FILE);
  const auto start = file.find("<widget class=\"QLineEdit\" name=\"unitSerial\">");
  ASSERT_NE(start, std::string::npos);
  const auto end = file.find("</widget>", start) + std::string("</widget>").size();
  file.replace(start, end - start, "<widget class=\"QLabel\" name=\"noUnitField\"/>");
  TempDir::write("restyled.uir", file);
  const int status = run_gui(
      [&] {
        choose(1, 3);
        press(ui::select_panel(), kOpenButton);
        ASSERT_EQ(panels.popups().size(), 1u);
        EXPECT_NE(panels.popups()[0].message.find("the panel file has no unit field"),
                  std::string::npos);
        platform::QuitUserInterface(0);
      },
      "restyled.uir");
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(line.requests().empty());
}
