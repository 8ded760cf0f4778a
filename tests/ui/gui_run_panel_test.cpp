// The run panel: its set-up, Run against the simulated handset, Save and
// Exit, and the question about an IMEI that a killed run left pending.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <fstream>
#include <sstream>

#include "fs/imei_guard.h"
#include "script/runner.h"
#include "station/run_journal.h"
#include "ui/gui_fixture.h"
#include "ui/unit_controls.h"

using testing_support::GuiTest;
using testing_support::TempDir;

namespace {

// Buttons of the panel file that the program does not address by number.
constexpr int kOpenButton = 5;
constexpr int kRunButton = 4;
constexpr int kExitButton = 7;

const std::string kScript = "tms 1\nti\nsleep 2500\n";

std::string content(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void post_click(QWidget* w) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  const QPointF global = w->mapToGlobal(at);
  QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, at, global,
                                                 Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, at, global,
                                                 Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

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

}  // namespace

TEST_F(GuiTest, the_run_panel_shows_port_script_ma_no_and_one_indicator) {
  station("7 pyrel.tms\n12 zu4.tms\n5 qm\n5.2 dov.tms\n3 plain\n");
  customer_folder("pyrel", "ABCDEFGHIJKLMNOP");
  customer_folder("plain", "P1\n");
  struct Case {
    int customer, sub_number, port;
    std::string script, label, ma_no;
    int indicator;
  };
  const std::vector<Case> cases = {
      {7, 0, 3, "pyrel.tms", "COM 3", "ABCDEFGHIJ", ui::kIndicatorPyrel},  // 10 bytes shown
      {5, 2, 6, "dov.tms", "COM 6", "", ui::kIndicatorSubNumber},          // a sub-number wins
      {12, 4, 7, "zu4.tms", "COM", "", ui::kIndicatorZu4},   // port 7: the panel's own label
      {3, 0, 1, "plain", "COM 1", "P1", ui::kIndicatorDov},  // no point: folder "plain"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const int status = run_gui([&] {
      choose(c.customer, c.port, c.sub_number);
      in_next_loop([&] {
        const int run = platform::run_panel();
        EXPECT_EQ(ui::panel_run_context().port, c.port);
        EXPECT_EQ(value(run, ui::kScriptNameControl), c.script);
        EXPECT_EQ(value(run, ui::kPortLabelControl), c.label);
        EXPECT_EQ(value(run, ui::kMaNoControl), c.ma_no);
        for (int indicator = ui::kIndicatorDov; indicator <= ui::kIndicatorZu4; ++indicator) {
          EXPECT_EQ(attribute(run, indicator, platform::kAttrVisible), indicator == c.indicator)
              << "indicator " << indicator;
        }
        press(run, kExitButton);
      });
      press(ui::select_panel(), kOpenButton);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ui::panel_run_context().script, c.script);
  }
}

TEST_F(GuiTest, an_unknown_customer_keeps_the_selection_panel_for_another_choice) {
  station("1 a.tms\n");
  const int status = run_gui([&] {
    choose(99, 2);
    EXPECT_EQ(COMPORT(ui::select_panel(), ui::kPortControl, platform::kEventCommit, nullptr, 0, 0),
              0);
    ASSERT_EQ(panels.popups().size(), 1u);
    EXPECT_EQ(panels.popups()[0].message, "Fail to find the customer");
    EXPECT_EQ(value(ui::select_panel(), ui::kCustomerControl), "99");  // still there
    std::filesystem::remove("custdefine");
    COMPORT(ui::select_panel(), ui::kPortControl, platform::kEventCommit, nullptr, 0, 0);
    EXPECT_EQ(panels.popups().back().message, "Fail to open file <custdefine>");
    platform::QuitUserInterface(0);
  });
  EXPECT_EQ(status, 0);
}

TEST_F(GuiTest, run_turns_the_log_green_or_red_and_counts_lines_and_seconds) {
  station("1 t.tms\n");
  TempDir::write("t.tms", kScript);
  const int status = run_gui([&] {
    choose(1, 3);
    in_next_loop([&] {
      const int run = platform::run_panel();
      // The port opened: the status line names its device.
      EXPECT_EQ(value(run, ui::kPortStatusControl).find("cannot"), std::string::npos);
      press(run, kRunButton);
      EXPECT_EQ(log_colour(), platform::kColorGreen);
      EXPECT_EQ(log(), (std::vector<std::string>{"tms 1  => 0 (1)", "ti  => 0 (1)", "sleep 2500"}));
      EXPECT_EQ(value(run, platform::kLineCounterControl), "3");
      EXPECT_EQ(value(run, platform::kElapsedTimeControl), "2");

      fault("silent:0x20");  // "ti" goes unanswered
      press(run, kRunButton);
      EXPECT_EQ(log_colour(), platform::kColorRed);
      EXPECT_EQ(log(), (std::vector<std::string>{"tms 1  => 0 (1)", "ti  => 100 (5)"}));
      EXPECT_EQ(value(run, platform::kLineCounterControl), "2");

      // A script that cannot be opened leaves the log empty and yellow.
      std::filesystem::remove("t.tms");
      press(run, kRunButton);
      EXPECT_EQ(log_colour(), platform::kColorYellow);
      EXPECT_TRUE(log().empty());
      EXPECT_EQ(value(run, platform::kElapsedTimeControl), "0");
      EXPECT_EQ(panels.popups().back().message, "Fail to open file <*.tms>");
      press(run, kExitButton);
    });
    press(ui::select_panel(), kOpenButton);
  });
  EXPECT_EQ(status, 0);
}

TEST_F(GuiTest, input_during_a_run_is_dropped_not_replayed) {
  station("1 t.tms\n");
  TempDir::write("t.tms", kScript);
  HookedTime time(clock);
  platform::set_time_source(&time);
  const int status = run_gui([&] {
    choose(1, 3);
    in_next_loop([&] {
      QWidget* run_button = widget(platform::run_panel(), kRunButton);
      time.hook_ = [&] {
        // Mid-run (the sleep line): Run pressed again, and Exit.
        EXPECT_TRUE(panels.input_blocked());
        post_click(run_button);
        post_click(widget(platform::run_panel(), kExitButton));
        QApplication::processEvents();  // as a repaint would
      };
      press(platform::run_panel(), kRunButton);
      const std::size_t one_run = line.requests().size();
      QApplication::processEvents();
      EXPECT_EQ(line.requests().size(), one_run);  // no second run
      EXPECT_FALSE(panels.input_blocked());
      // The same click once the run is over does run: the test would notice.
      post_click(run_button);
      QApplication::processEvents();
      EXPECT_EQ(line.requests().size(), 2 * one_run);
      press(platform::run_panel(), kExitButton);
    });
    press(ui::select_panel(), kOpenButton);
  });
  EXPECT_EQ(status, 0);
}

TEST_F(GuiTest, save_writes_a_new_file_per_save_and_reports_one_it_cannot_write) {
  station("1 t.tms\n");
  TempDir::write("t.tms", kScript);
  std::tm moment{};
  moment.tm_mon = 0;  // 3 January, 09:05:07
  moment.tm_mday = 3;
  moment.tm_hour = 9;
  moment.tm_min = 5;
  moment.tm_sec = 7;
  platform::set_fixed_local_time(&moment);
  const int status = run_gui([&] {
    choose(1, 3);
    in_next_loop([&] {
      const int run = platform::run_panel();
      press(run, kRunButton);
      press(run, platform::kSaveButtonControl);
      const std::string lines = "tms 1  => 0 (1)\r\nti  => 0 (1)\r\nsleep 2500\r\n";
      EXPECT_EQ(content("Download_0103-090507.txt"), lines);
      // The same second again: a new name, never the first file emptied.
      press(run, platform::kSaveButtonControl);
      EXPECT_EQ(content("Download_0103-090507-2.txt"), lines);
      EXPECT_EQ(content("Download_0103-090507.txt"), lines);
      EXPECT_EQ(value(run, ui::kSaveStatusControl), "Run log saved to Download_0103-090507-2.txt");
      EXPECT_EQ(attribute(run, platform::kSaveButtonControl, platform::kAttrVisible), 1);
      EXPECT_TRUE(panels.popups().empty());

      std::filesystem::remove_all(dir.path());  // the start folder is gone
      press(run, platform::kSaveButtonControl);
      ASSERT_EQ(panels.popups().size(), 1u);
      EXPECT_EQ(panels.popups()[0].title, "Error");
      EXPECT_NE(panels.popups()[0].message.find("<Download_0103-090507.txt>"), std::string::npos)
          << panels.popups()[0].message;
      EXPECT_EQ(log().size(), 3u);  // the log stays as it was
      EXPECT_EQ(log_colour(), platform::kColorGreen);
      press(run, kExitButton);
    });
    press(ui::select_panel(), kOpenButton);
  });
  EXPECT_EQ(status, 0);
}

namespace {

// The run panel's rows from the state word down to the buttons, each
// entirely above the next and the last inside the panel; a word-wrapped
// label is as tall as its text needs.
void expect_rows_apart(QWidget* panel, const std::vector<QWidget*>& rows) {
  QApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  QApplication::processEvents();
  int bottom = 0;
  for (QWidget* row : rows) {
    const QRect at(row->mapTo(panel, QPoint(0, 0)), row->size());
    EXPECT_GE(at.top(), bottom) << row->objectName().toStdString() << " overlaps the row above";
    bottom = at.bottom() + 1;
    if (auto* label = qobject_cast<QLabel*>(row); label && label->wordWrap()) {
      EXPECT_GE(label->height(), label->heightForWidth(label->width()))
          << label->objectName().toStdString() << " cuts its text";
    }
  }
  EXPECT_LE(bottom, panel->height()) << "the last row leaves the panel";
}

}  // namespace

TEST_F(GuiTest, a_port_that_cannot_be_opened_is_explained_and_the_run_fails_and_notices_fit) {
  station("1 t.tms\n");
  TempDir::write("t.tms", kScript);
  platform::set_device_opener([](int, const platform::SerialSettings&, std::string* error) {
    *error = "/dev/ttyS7: busy (another program is using this port)";
    return std::unique_ptr<platform::SerialDevice>();
  });
  const int status = run_gui([&] {
    choose(1, 8);
    in_next_loop([&] {
      const int run = platform::run_panel();
      EXPECT_EQ(value(run, ui::kPortStatusControl),
                "Port 8 cannot be opened: /dev/ttyS7: busy (another program is using this port)");
      press(run, kRunButton);
      EXPECT_EQ(log(), std::vector<std::string>{"tms 1  => 100 (5)"});
      EXPECT_EQ(log_colour(), platform::kColorRed);

      // A notice below the log wraps over as many lines as it needs; the
      // Line/Seconds row stays below the log and above the notice, however
      // long the notice and however narrow the operator makes the panel.
      QWidget* panel = panels.panel_widget(run);
      const std::vector<QWidget*> rows = {
          widget(run, ui::kRunStateControl),          widget(run, platform::kRunLogControl),
          widget(run, platform::kLineCounterControl), widget(run, ui::kPortStatusControl),
          widget(run, ui::kSaveStatusControl),        widget(run, kRunButton)};
      expect_rows_apart(panel, rows);
      const int first_height = panel->height();
      ui::panel_run_context().notices.notice(
          {"journal.distrusted",
           {"the run journal run-journal_8 is damaged: line 1 does not read back whole", "8"}});
      expect_rows_apart(panel, rows);
      EXPECT_GT(panel->height(), first_height);
      EXPECT_GE(widget(run, ui::kPortStatusControl)->height(),
                3 * QFontMetrics(widget(run, ui::kPortStatusControl)->font()).lineSpacing());
      std::string longer;
      for (int i = 0; i < 12; ++i) longer += "a notice that goes on and on, ";
      platform::SetCtrlVal(run, ui::kPortStatusControl, longer);
      expect_rows_apart(panel, rows);
      panel->resize(panel->minimumWidth(), panel->height());
      expect_rows_apart(panel, rows);
      // The station's notice (its sender cannot run) at the panel's foot,
      // below the rest, taken away once the sender runs again.
      QWidget* notice = panels.station_notice_widget(run);
      ASSERT_NE(notice, nullptr);
      EXPECT_FALSE(notice->isVisible());
      panels.show_station_notice({"cfx.sender_stopped", {"status 2: " + longer}});
      EXPECT_TRUE(notice->isVisible());
      EXPECT_EQ(static_cast<QLabel*>(notice)->text().toStdString().rfind(
                    "CFX: the sender stopped (status 2: a notice", 0),
                0u);
      std::vector<QWidget*> with_notice = rows;
      with_notice.push_back(notice);
      expect_rows_apart(panel, with_notice);
      panels.show_station_notice({});
      EXPECT_FALSE(notice->isVisible());
      press(run, kExitButton);
    });
    press(ui::select_panel(), kOpenButton);
  });
  EXPECT_EQ(status, 0);
}

namespace {

// A run on port 3 that backed up `imei`, sent the format and was killed
// before its write-back: its journal entry is left open, so the IMEI is pending.
void leave_pending_imei(const std::string& uid, const std::vector<std::uint8_t>& imei) {
  station::RunJournal journal(station::journal_file_name(3));
  station::JournalRun run;
  run.uid = uid;
  run.started_at_ms = 1'700'000'000'000;
  run.port = 3;
  ASSERT_TRUE(journal.load());
  ASSERT_TRUE(journal.started(run));
  ASSERT_TRUE(journal.backed_up(uid, imei, "IMEI"));
  ASSERT_TRUE(journal.formatting(uid));
}

station::ImeiFate journal_fate(const std::string& uid) {
  station::RunJournal journal(station::journal_file_name(3));
  EXPECT_TRUE(journal.load());
  const station::JournalRun* run = journal.find(uid);
  return run ? run->fate : station::ImeiFate::kNone;
}

// Once the next modal box is up, hands it to `answer`.
void when_asked(std::function<void(QWidget* box)> answer) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, answer] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return;
    poll->stop();
    poll->deleteLater();
    answer(box);
  });
  poll->start(5);
}

QAbstractButton* button_named(QWidget* box, const QString& text) {
  for (auto* b : box->findChildren<QAbstractButton*>()) {
    if (b->text() == text) return b;
  }
  ADD_FAILURE() << "no button " << text.toStdString();
  return nullptr;
}

}  // namespace

TEST_F(GuiTest, a_pending_imei_on_a_handset_without_one_is_asked_with_yes_and_no) {
  station("1 t.tms\n");
  TempDir::write("t.tms", "tms 1\nfrd IMEI IMEI\nmkfs\nfwr IMEI IMEI\n");
  const std::vector<std::uint8_t> lost = {0x35, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34};
  leave_pending_imei("killed-1", lost);
  TempDir::write("IMEI", std::string(lost.begin(), lost.end()));
  auto& files = handset.state().fs.files;
  files["/marker"] = {1};  // gone once the handset is formatted
  const int status = run_gui([&] {
    choose(1, 3);
    in_next_loop([&] {
      const int run = platform::run_panel();
      // Closed without a choice: no answer, red at the read-back, no format.
      std::string question;
      when_asked([&](QWidget* box) {
        // The keyboard starts on the question, not on a button.
        auto* label = qobject_cast<QLabel*>(box->focusWidget());
        if (label) question = label->text().toStdString();
        QTest::keyClick(box, Qt::Key_Escape);
      });
      press(run, kRunButton);
      EXPECT_NE(question.find("The run on port 3 at "), std::string::npos) << question;
      EXPECT_NE(question.find("before IMEI 3512345678901234 was written back. Is this that "
                              "handset?"),
                std::string::npos)
          << question;
      EXPECT_EQ(log_colour(), platform::kColorRed);
      ASSERT_EQ(log().size(), 2u);
      EXPECT_NE(log().back().find("=> 61"), std::string::npos) << log().back();
      EXPECT_TRUE(files.count("/marker"));
      EXPECT_EQ(journal_fate("killed-1"), station::ImeiFate::kNone);  // still pending

      // Asked again; Enter and Return alone answer nothing, on any button;
      // Tab to Yes and Space restores the IMEI.
      bool still_open_after_enter = false;
      when_asked([&](QWidget* box) {
        QTest::keyClick(box, Qt::Key_Return);
        for (auto* b : box->findChildren<QAbstractButton*>()) {
          QTest::keyClick(b, Qt::Key_Return);
          QTest::keyClick(b, Qt::Key_Enter);
        }
        QApplication::processEvents();
        still_open_after_enter = box->isVisible();
        EXPECT_EQ(qobject_cast<QAbstractButton*>(box->focusWidget()), nullptr);
        QTest::keyClick(box->focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(box->focusWidget(), button_named(box, "&Yes"));
        QTest::keyClick(box->focusWidget(), Qt::Key_Space);
      });
      press(run, kRunButton);
      EXPECT_TRUE(still_open_after_enter);
      EXPECT_EQ(log_colour(), platform::kColorGreen);
      EXPECT_EQ(files["/IMEI"], lost);
      EXPECT_EQ(journal_fate("killed-1"), station::ImeiFate::kRestored);

      // Another killed run; another handset without IMEI: No keeps it aside.
      const std::vector<std::uint8_t> other = {1, 2, 3, 4, 5, 6, 7, 8};
      leave_pending_imei("killed-2", other);
      files.erase("/IMEI");
      when_asked([&](QWidget* box) { button_named(box, "&No")->click(); });
      press(run, kRunButton);
      EXPECT_EQ(log_colour(), platform::kColorGreen);
      EXPECT_FALSE(files.count("/IMEI"));
      EXPECT_EQ(journal_fate("killed-2"), station::ImeiFate::kKeptAside);
      press(run, kExitButton);
    });
    press(ui::select_panel(), kOpenButton);
  });
  EXPECT_EQ(status, 0);
}
