// A run's result without colour and without looking: the run panel's state
// (RUNNING, PASS ✓, FAIL ✗) in capitals at least 40 px tall, the grid tile's
// state fitted to the tile, and the sound at each run's end, or none with
// "sound = off".
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <chrono>
#include <thread>

#include "app/grid_window.h"
#include "multiport/station_grid.h"
#include "platform/qt_run_state.h"
#include "support/recorded_sounds.h"
#include "ui/gui_fixture.h"

using platform::RunState;
using platform::Sound;
using testing_support::GuiTest;
using testing_support::RecordedSounds;
using testing_support::TempDir;

namespace {

constexpr int kOpenButton = 5;
constexpr int kRunButton = 4;
constexpr int kExitButton = 7;

// A fake clock that calls a hook the first time something sleeps: the
// middle of a run.
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

QString shown(QWidget* w) {
  auto* label = qobject_cast<QLabel*>(w);
  return label ? label->text() : QString("(not a label)");
}

int cap_height(QWidget* w) {
  return QFontMetrics(w->font()).capHeight();
}

}  // namespace

TEST_F(GuiTest, the_run_panel_says_running_pass_or_fail_in_large_letters_and_sounds_the_end) {
  RecordedSounds sounds;
  station("1 t.tms\n");
  TempDir::write("t.tms", "tms 1\nti\nsleep 2500\n");
  HookedTime time(clock);
  platform::set_time_source(&time);
  const int status = run_gui([&] {
    choose(1, 3);
    in_next_loop([&] {
      const int run = platform::run_panel();
      QWidget* state = widget(run, ui::kRunStateControl);
      ASSERT_NE(state, nullptr);
      EXPECT_EQ(shown(state), "");  // no run yet
      QString during;
      time.hook_ = [&] { during = shown(state); };
      press(run, kRunButton);
      EXPECT_EQ(during, QString::fromUtf8("RUNNING \u25B6"));
      EXPECT_EQ(shown(state), QString::fromUtf8("PASS \u2713"));
      EXPECT_TRUE(state->styleSheet().contains("#9BE3A5")) << state->styleSheet().toStdString();
      EXPECT_GE(cap_height(state), platform::kLeastLegibleCapHeightPx);
      // The whole word shows: the label holds the letters' height.
      EXPECT_GE(state->height(), QFontMetrics(state->font()).height());
      EXPECT_EQ(log_colour(), platform::kColorGreen);  // the log keeps its own colours
      EXPECT_EQ(sounds.played, std::vector<Sound>{Sound::kPass});

      fault("silent:0x20");
      press(run, kRunButton);
      EXPECT_EQ(shown(state), QString::fromUtf8("FAIL \u2717"));
      EXPECT_TRUE(state->styleSheet().contains("#8B1A1A")) << state->styleSheet().toStdString();
      EXPECT_EQ(log_colour(), platform::kColorRed);
      EXPECT_EQ(sounds.played, (std::vector<Sound>{Sound::kPass, Sound::kFail}));

      // A run that cannot start is no pass: the handset is done again.
      std::filesystem::remove("t.tms");
      press(run, kRunButton);
      EXPECT_EQ(shown(state), QString::fromUtf8("FAIL \u2717"));
      EXPECT_EQ(log_colour(), platform::kColorYellow);
      EXPECT_EQ(sounds.count(Sound::kFail), 2);
      press(run, kExitButton);
    });
    press(ui::select_panel(), kOpenButton);
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(sounds.prepared, 1);  // readied once, at start
}

TEST_F(GuiTest, sound_off_in_the_station_settings_keeps_the_panels_silent) {
  RecordedSounds sounds;
  station("1 t.tms\n");
  TempDir::write("t.tms", "tms 1\nti\n");
  TempDir::write("ffsload.conf", "sound = off\n");
  const int status = run_gui([&] {
    choose(1, 3);
    in_next_loop([&] {
      press(platform::run_panel(), kRunButton);
      EXPECT_EQ(shown(widget(platform::run_panel(), ui::kRunStateControl)),
                QString::fromUtf8("PASS \u2713"));
      press(platform::run_panel(), kExitButton);
    });
    press(ui::select_panel(), kOpenButton);
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(sounds.played.empty());
  EXPECT_EQ(sounds.prepared, 0);  // the sound system is never touched
}

TEST_F(GuiTest, a_panel_file_without_the_state_runs_on_and_says_so_once) {
  // A station's restyled panel file from before the state label.
  std::string file = TempDir::read(FFSLOAD_PANEL_FILE);
  const auto label = file.find("name=\"runState\"");
  ASSERT_NE(label, std::string::npos);
  const auto start = file.rfind("<item>", label);
  const auto end = file.find("</item>", label) + std::string("</item>").size();
  file.erase(start, end - start);
  TempDir::write("restyled.uir", file);
  station("1 t.tms\n");
  TempDir::write("t.tms", "tms 1\nti\n");
  testing::internal::CaptureStderr();
  const int status = run_gui(
      [&] {
        choose(1, 3);
        in_next_loop([&] {
          EXPECT_EQ(widget(platform::run_panel(), ui::kRunStateControl), nullptr);
          press(platform::run_panel(), kRunButton);
          press(platform::run_panel(), kRunButton);
          EXPECT_EQ(log_colour(), platform::kColorGreen);
          press(platform::run_panel(), kExitButton);
        });
        press(ui::select_panel(), kOpenButton);
      },
      "restyled.uir");
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 0);
  const std::string notice = "the panel file has no label for the run's state (control 27)";
  const auto first = said.find(notice);
  EXPECT_NE(first, std::string::npos) << said;
  EXPECT_EQ(said.find(notice, first + 1), std::string::npos) << said;  // once
  EXPECT_TRUE(panels.popups().empty());
}

TEST(RunStateLabel, a_tiles_letters_are_as_large_as_its_width_allows_within_their_bounds) {
  platform::RunStateLabel label(16, platform::kRunPanelCapHeightPx);
  label.set_state(RunState::kFail);
  label.show();
  label.resize(1200, label.height());
  QApplication::processEvents();
  EXPECT_EQ(label.cap_height(), platform::kRunPanelCapHeightPx);  // room to spare: the most
  label.resize(260, label.height());
  QApplication::processEvents();
  const int narrow = label.cap_height();
  EXPECT_LT(narrow, platform::kRunPanelCapHeightPx);
  EXPECT_GE(narrow, 16);
  // The widest state fits: the word never loses its end.
  for (RunState s : {RunState::kRunning, RunState::kPass, RunState::kFail}) {
    EXPECT_LE(QFontMetrics(label.font()).horizontalAdvance(platform::run_state_text(s)), 260);
  }
  EXPECT_GE(cap_height(&label), narrow);
  label.resize(40, label.height());
  QApplication::processEvents();
  EXPECT_EQ(label.cap_height(), 16);  // never below legible
}

TEST(GridWindow, each_tile_shows_its_state_in_words_beside_the_logs_colour) {
  TempDir dir;
  TempDir::write("custdefine", "1 main.tms\n");
  std::filesystem::create_directory("main");
  TempDir::write("main/MA_NO", "MA-0001");
  multiport::StationGrid grid(dir.path(), {{1, "/dev/fake1"}, {2, "/dev/fake2"}},
                              dir.path() + "/runs.sqlite");
  grid.set_child_command([](int port, const std::string&) {
    return std::vector<std::string>{
        "/bin/sh", "-c",
        R"(if [ "$1" = 2 ]; then echo "run 1: red, 3 s, line 1: ti => 100"; else echo "run 1: green, 5 s"; fi; read a)",
        "sh", std::to_string(port)};
  });
  std::string error;
  ASSERT_TRUE(grid.choose_customer(1, 0, &error)) << error;
  GridWindow window(grid, {});
  window.show();
  QApplication::processEvents();
  EXPECT_EQ(window.tile(1).state->text(), "");
  window.run_all_button()->click();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!(window.tile(1).state->state() == RunState::kPass &&
           window.tile(2).state->state() == RunState::kFail) &&
         std::chrono::steady_clock::now() < deadline) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(window.tile(1).state->text(), QString::fromUtf8("PASS \u2713"));
  EXPECT_EQ(window.tile(2).state->text(), QString::fromUtf8("FAIL \u2717"));
  EXPECT_TRUE(window.tile(2).state->styleSheet().contains("#8B1A1A"));
  EXPECT_TRUE(window.tile(2).log->styleSheet().contains("#FF0000"));  // the log's own red
  // Two tiles side by side in the smallest window still read from afar,
  // and the widest word fits its tile.
  platform::RunStateLabel* state = window.tile(1).state;
  EXPECT_GE(state->cap_height(), 24);
  EXPECT_LE(
      QFontMetrics(state->font()).horizontalAdvance(platform::run_state_text(RunState::kRunning)),
      state->width());
  window.close();
  const auto closing = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (window.isVisible() && std::chrono::steady_clock::now() < closing) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_FALSE(window.isVisible());
}
