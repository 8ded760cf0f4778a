// The station grid's tiles against fake children: shell one-liners that
// behave as "ffsload run --repeat" does (log lines, a summary line per run,
// then a wait for Enter), and ones that fail, crash, hang or cannot open
// their device. Also the "comports" listing the grid starts from.
#include "multiport/station_grid.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/serial_port_config.h"
#include "station/customer_definition.h"
#include "support/hidden_identities.h"
#include "support/recorded_sounds.h"
#include "support/temp_dir.h"

using testing_support::TempDir;

namespace {

// A repeat-mode child: each run prints its port, customer and run number,
// then the summary `outcome` gives; Enter runs again, q or the end quits.
const char* const kRepeatChild = R"(n=0; port=$1; key=$2; outcome=$3
while :; do
  n=$((n+1)); echo "port $port customer $key run $n"; echo "run $n: $outcome"
  printf 'Next handset: Enter to run again, q and Enter to quit: ' >&2
  read a || exit 0; [ "$a" = q ] && exit 0
done)";

class Grid : public ::testing::Test {
 protected:
  void SetUp() override {
    TempDir::write("custdefine", "1 main.tms\n5 qm\n5.2 sub.tms\n");
    std::filesystem::create_directory("main");
    TempDir::write("main/MA_NO", "MAIN-12345678");
  }

  // Each port's child is the shell `script` with port, key and the port's
  // word from `words` as $1, $2, $3.
  void make(const std::vector<int>& ports, const std::string& script,
            std::map<int, std::string> words = {}) {
    std::vector<platform::ComportsPort> list;
    for (int p : ports) list.push_back({p, "/dev/fake" + std::to_string(p)});
    grid = std::make_unique<multiport::StationGrid>(dir.path(), list, dir.path() + "/runs.sqlite");
    grid->set_child_command([script, words](int port, const std::string& key) {
      auto w = words.count(port) ? words.at(port) : std::string("green, 2 s");
      return std::vector<std::string>{"/bin/sh", "-c", script, "sh", std::to_string(port), key, w};
    });
    std::string error;
    ASSERT_TRUE(grid->choose_customer(1, 0, &error)) << error;
  }
  // Polls until `done` or five seconds have passed.
  bool until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      grid->poll(20);
    }
    return true;
  }
  const multiport::GridTile& tile(int port) { return *grid->tile(port); }
  bool idle(int port) { return tile(port).stage() != multiport::TileStage::kRunning; }

  TempDir dir;
  std::unique_ptr<multiport::StationGrid> grid;
};

}  // namespace

TEST(RunSummary, the_repeat_modes_summary_lines_and_nothing_else) {
  auto green = multiport::parse_run_summary("run 3: green, 41 s");
  ASSERT_TRUE(green);
  EXPECT_EQ(green->run, 3);
  EXPECT_EQ(green->outcome, run::RunOutcome::kGreen);
  EXPECT_EQ(green->seconds, 41);
  auto red = multiport::parse_run_summary("run 1: red, 4 s, line 12: fwr a b => 100");
  ASSERT_TRUE(red);
  EXPECT_EQ(red->outcome, run::RunOutcome::kRed);
  EXPECT_EQ(red->detail, "line 12: fwr a b => 100");
  auto none = multiport::parse_run_summary("run 2: no run, 0 s, the script could not be opened");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->outcome, run::RunOutcome::kNoRun);
  for (const char* other : {"run 3: blue, 4 s", "run x: green, 4 s", "run 3: green, 4", "running",
                            "run 3: green, 4 s;", "ti => 0", "run 99999999999: green, 1 s"}) {
    EXPECT_FALSE(multiport::parse_run_summary(other)) << other;
  }
}

TEST_F(Grid, runs_count_per_tile_and_run_again_reuses_the_waiting_child) {
  make({1, 2, 3}, kRepeatChild, {{2, "red, 4 s, line 7: fwr a b => 100"}});
  EXPECT_EQ(grid->run_all(), 3);
  for (int p : {1, 2, 3}) EXPECT_EQ(tile(p).colour(), multiport::TileColour::kYellow);
  ASSERT_TRUE(until([&] { return idle(1) && idle(2) && idle(3); }));
  EXPECT_EQ(tile(1).colour(), multiport::TileColour::kGreen);
  EXPECT_EQ(tile(1).elapsed(), "2");
  EXPECT_EQ(tile(1).log(), std::vector<std::string>{"port 1 customer 1 run 1"});
  EXPECT_EQ(tile(2).colour(), multiport::TileColour::kRed);
  EXPECT_EQ(tile(2).red(), 1);
  EXPECT_EQ(tile(2).message(), "");  // the prompt is not a message
  // Run on a waiting tile lets the same child run again: its run 2.
  EXPECT_TRUE(grid->run(1));
  EXPECT_FALSE(grid->run(1));  // a tile runs once at a time
  ASSERT_TRUE(until([&] { return idle(1); }));
  EXPECT_EQ(tile(1).log(), std::vector<std::string>{"port 1 customer 1 run 2"});
  EXPECT_EQ(tile(1).runs(), 2);
  EXPECT_EQ(tile(1).green(), 2);
  EXPECT_EQ(tile(3).runs(), 1);
  // Closing asks every child to quit; each ends without a fault shown.
  grid->close();
  ASSERT_TRUE(until([&] { return grid->finished(); }));
  EXPECT_EQ(tile(1).colour(), multiport::TileColour::kGreen);
  EXPECT_EQ(tile(1).message(), "");
  EXPECT_FALSE(grid->run(1));
}

TEST_F(Grid, a_crash_a_hang_or_an_unopened_device_turns_only_that_tile_red) {
  make({1, 2, 3, 4},
       R"(case $1 in
            1) echo "run 1: green, 1 s"; read a ;;
            2) echo "ti => 0"; kill -SEGV $$ ;;
            3) echo "ti => 0"; sleep 30 ;;
            4) echo "ffsload: cannot open port 4: no such device" >&2
               echo "ti => 100"; echo "run 1: red, 0 s, line 1: ti => 100"; read a ;;
          esac)");
  grid->set_silence_limit_ms(300);
  grid->run_all();
  ASSERT_TRUE(until([&] { return idle(1) && idle(2) && idle(3) && idle(4); }));
  EXPECT_EQ(tile(1).colour(), multiport::TileColour::kGreen);
  EXPECT_EQ(tile(2).colour(), multiport::TileColour::kRed);
  EXPECT_NE(tile(2).message().find("crashed"), std::string::npos) << tile(2).message();
  EXPECT_EQ(tile(2).log(), std::vector<std::string>{"ti => 0"});
  EXPECT_EQ(tile(2).red(), 1);
  EXPECT_EQ(tile(3).colour(), multiport::TileColour::kRed);
  EXPECT_NE(tile(3).message().find("hung"), std::string::npos) << tile(3).message();
  EXPECT_EQ(tile(4).message(), "cannot open port 4: no such device");
  // The crashed port's next Run starts a child of its own again.
  EXPECT_TRUE(grid->run(2));
  EXPECT_EQ(tile(2).stage(), multiport::TileStage::kRunning);
  ASSERT_TRUE(until([&] { return idle(2); }));
  EXPECT_EQ(tile(2).runs(), 2);
  EXPECT_EQ(tile(1).stage(), multiport::TileStage::kWaiting);  // untouched all along
}

TEST_F(Grid, closing_during_a_run_stops_it_with_sigint_and_waits_for_the_child) {
  make({1}, R"(trap 'echo "run 1: red, 0 s, stopped on request"; exit 130' INT
               echo "ti => 0"; while :; do sleep 0.05; done)");
  grid->run(1);
  ASSERT_TRUE(until([&] { return !tile(1).log().empty(); }));
  grid->close();
  EXPECT_FALSE(grid->finished());
  ASSERT_TRUE(until([&] { return grid->finished(); }));
  EXPECT_EQ(tile(1).colour(), multiport::TileColour::kRed);
  EXPECT_EQ(tile(1).runs(), 1);
}

TEST_F(Grid, the_customer_follows_the_selection_panels_rules_and_a_new_one_restarts_children) {
  make({1}, kRepeatChild);
  std::string error;
  EXPECT_EQ(grid->customer().ma_no, "MAIN-12345");  // the first 10 characters
  EXPECT_FALSE(grid->choose_customer(7, 0, &error));
  EXPECT_EQ(error, "Fail to find the customer");
  EXPECT_FALSE(grid->run(1));  // no customer, no run
  ASSERT_TRUE(grid->choose_customer(1, 3, &error));
  EXPECT_EQ(grid->customer().key, "1");  // the sub-number counts only for the qm customer
  grid->run(1);
  ASSERT_TRUE(until([&] { return idle(1); }));
  ASSERT_TRUE(grid->choose_customer(5, 2, &error)) << error;
  EXPECT_EQ(grid->customer().key, "5.2");
  EXPECT_EQ(grid->customer().script, "sub.tms");
  // The waiting child of customer 1 makes way; Run starts one for 5.2.
  EXPECT_TRUE(grid->run(1));
  ASSERT_TRUE(until([&] { return tile(1).stage() == multiport::TileStage::kWaiting; }));
  EXPECT_EQ(tile(1).log(), std::vector<std::string>{"port 1 customer 5.2 run 1"});
  std::filesystem::remove("custdefine");
  EXPECT_FALSE(grid->choose_customer(1, 0, &error));
  EXPECT_EQ(error, "Fail to open file <custdefine>");
}

TEST_F(Grid, save_writes_the_tiles_log_into_its_port_folder_never_over_another) {
  make({3}, kRepeatChild);
  grid->run(3);
  ASSERT_TRUE(until([&] { return idle(3); }));
  const run::SavedLog one = grid->save(3);
  const run::SavedLog two = grid->save(3);
  ASSERT_TRUE(one.saved && two.saved) << one.error << two.error;
  EXPECT_NE(one.name, two.name);
  EXPECT_TRUE(one.name.starts_with(dir.path() + "/ports/3/Download_")) << one.name;
  std::ifstream in(one.name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "port 3 customer 1 run 1\r\n");
  grid->close();
  ASSERT_TRUE(until([&] { return grid->finished(); }));
}

// A child whose handset has no IMEI while one is pending: it asks as the
// repeat mode asks, echoes the answer, then (port 2) goes silent for good.
const char* const kAskingChild = R"(echo "frd IMEI IMEI"
q="The run on port $1 at 10:00:00 stopped after the format, before IMEI 0102030405060708 was written back. Is this that handset? Yes gives it IMEI 0102030405060708 back. No keeps IMEI 0102030405060708 aside for good: no handset gets it unless an engineer restores it."
echo "ffsload: $q" >&2; printf 'Answer yes or no: ' >&2
read a || exit 0
echo "answer $a"; echo "ffsload: IMEI 0102030405060708 answered $a" >&2
[ "$1" = 2 ] && exec sleep 30
echo "run 1: green, 1 s"; read a)";

TEST_F(Grid, each_tiles_end_and_new_question_is_heard_once_and_its_state_told_in_words) {
  testing_support::RecordedSounds sounds;
  using platform::RunState;
  using platform::Sound;
  make({1, 2, 3},
       R"(case $1 in
            1) echo "run 1: green, 1 s"; read a ;;
            2) echo "run 1: red, 0 s, line 1: ti => 100"; read a ;;
            3) echo "ti => 0"; kill -SEGV $$ ;;
          esac)");
  EXPECT_EQ(tile(1).state(), RunState::kNone);
  grid->run_all();
  EXPECT_EQ(tile(1).state(), RunState::kRunning);
  ASSERT_TRUE(until([&] { return idle(1) && idle(2) && idle(3); }));
  EXPECT_EQ(tile(1).state(), RunState::kPass);
  EXPECT_EQ(tile(2).state(), RunState::kFail);
  EXPECT_EQ(tile(3).state(), RunState::kFail);  // its process died mid-run
  EXPECT_EQ(sounds.count(Sound::kPass), 1);
  EXPECT_EQ(sounds.count(Sound::kFail), 2);
  EXPECT_EQ(sounds.played.size(), 3u);
  grid->close();
  ASSERT_TRUE(until([&] { return grid->finished(); }));
  EXPECT_EQ(sounds.played.size(), 3u);  // quitting children end no run

  sounds.played.clear();
  make({1}, kAskingChild);
  grid->run_all();
  ASSERT_TRUE(until([&] { return !tile(1).question().empty(); }));
  for (int i = 0; i < 5; ++i) grid->poll(10);
  EXPECT_EQ(sounds.played, std::vector<Sound>{Sound::kQuestion});  // once, not per poll
  ASSERT_TRUE(grid->answer(1, true));
  ASSERT_TRUE(until([&] { return idle(1); }));
  EXPECT_EQ(sounds.played, (std::vector<Sound>{Sound::kQuestion, Sound::kPass}));
  grid->close();
  ASSERT_TRUE(until([&] { return grid->finished(); }));
}

TEST_F(Grid, a_pending_imei_question_waits_on_its_tile_without_the_hang_watch_until_answered) {
  make({1, 2}, kAskingChild);
  grid->set_silence_limit_ms(150);
  EXPECT_FALSE(grid->answer(1, true));  // nothing asked yet
  grid->run_all();
  ASSERT_TRUE(until([&] { return !tile(1).question().empty() && !tile(2).question().empty(); }));
  EXPECT_EQ(tile(1).question(),
            "The run on port 1 at 10:00:00 stopped after the format, before IMEI "
            "0102030405060708 was written back. Is this that handset? Yes gives it IMEI "
            "0102030405060708 back. No keeps IMEI 0102030405060708 aside for good: no handset "
            "gets it unless an engineer restores it.");
  EXPECT_EQ(tile(1).message(), "");  // the question is not one of the messages
  // Far past the silence limit, nobody has answered: no child is taken for hung.
  const auto later = std::chrono::steady_clock::now() + std::chrono::milliseconds(450);
  while (std::chrono::steady_clock::now() < later) grid->poll(20);
  EXPECT_EQ(tile(1).stage(), multiport::TileStage::kRunning);
  EXPECT_EQ(tile(2).stage(), multiport::TileStage::kRunning);
  EXPECT_FALSE(grid->run(1));  // Run (Enter on the tile) answers nothing
  EXPECT_FALSE(tile(1).question().empty());

  ASSERT_TRUE(grid->answer(1, true));
  ASSERT_TRUE(grid->answer(2, false));
  EXPECT_TRUE(tile(1).question().empty());
  EXPECT_FALSE(grid->answer(1, false));  // answered once only
  ASSERT_TRUE(until([&] { return idle(1) && idle(2); }));
  EXPECT_EQ(tile(1).colour(), multiport::TileColour::kGreen);
  EXPECT_EQ(tile(1).log(), (std::vector<std::string>{"frd IMEI IMEI", "answer yes"}));
  EXPECT_EQ(tile(1).message(), "IMEI 0102030405060708 answered yes");
  // Once answered the watch is back: port 2's child, silent after "no", is hung.
  EXPECT_EQ(tile(2).log(), (std::vector<std::string>{"frd IMEI IMEI", "answer no"}));
  EXPECT_EQ(tile(2).colour(), multiport::TileColour::kRed);
  EXPECT_NE(tile(2).message().find("hung"), std::string::npos) << tile(2).message();
  grid->close();
  ASSERT_TRUE(until([&] { return grid->finished(); }));
}

TEST(ComportsListing, bad_lines_are_named_and_left_out_the_good_ports_kept) {
  TempDir dir;
  EXPECT_FALSE(platform::list_comports_ports().file_found);
  TempDir::write("comports",
                 "# station 4\n1 /dev/a\ncheck-reply-checksum\n\n9 /dev/b\n3\n1 /dev/c\n"
                 "two /dev/d\n4 /dev/a\r\n5 /dev/e\n");
  const auto listing = platform::list_comports_ports();
  EXPECT_TRUE(listing.file_found);
  std::vector<int> ports;
  for (const auto& p : listing.ports) ports.push_back(p.port);
  EXPECT_EQ(ports, (std::vector<int>{1, 4, 5}));
  ASSERT_EQ(listing.problems.size(), 5u);
  EXPECT_EQ(listing.problems[0], "comports line 5: port 9 is not a port 1 to 8: left out");
  EXPECT_EQ(listing.problems[1], "comports line 6: port 3 names no device: left out");
  EXPECT_EQ(listing.problems[2],
            "comports line 7: port 1 is listed again (line 2 gives its device): left out");
  EXPECT_NE(listing.problems[3].find("\"two /dev/d\" is not \"N PATH\""), std::string::npos);
  EXPECT_EQ(listing.problems[4],
            "comports line 9: port 4 names the device of port 1 (/dev/a): only one of them can "
            "open it");
}

namespace {

// A child that asks each unit's serial as the repeat mode does on a station
// with unit serials, and tells the unit's attempt and a fixture alarm.
const char* const kUnitChild = R"sh(n=0; port=$1; key=$2; outcome=$3; shift 3; args="$*"
unit=""; for a in "$@"; do case $a in --unit=*) unit=${a#--unit=};; esac; done
ask() { printf 'Next unit: scan or type its serial and Enter, q and Enter to quit: ' >&2
  read unit || exit 0; [ "$unit" = q ] && exit 0; }
[ -z "$unit" ] && ask
while :; do
  n=$((n+1)); echo "args $args unit [$unit]"
  echo "ffsload: unit $unit: attempt $n" >&2
  echo "ffsload: check the fixture on port $port: $n red runs in a row" >&2
  echo "ffsload:   failing line 2: ti (${n}x)" >&2
  sleep 0.1; echo "run $n: $outcome"
  ask
done)sh";

}  // namespace

TEST_F(Grid, a_scan_into_a_tile_runs_it_with_the_units_serial_and_the_operators_id) {
  make({3}, kUnitChild, {{3, "red, 1 s, line 2: ti => 100"}});
  station::StationSettings settings;
  settings.unit_serial = station::Asking::kRequired;
  settings.unit_serial_pattern = station::SerialPattern::compile("SN[0-9]+");
  settings.operator_id = station::Asking::kRequired;
  grid->set_settings(settings);

  EXPECT_FALSE(grid->run(3, "SN1"));
  EXPECT_NE(tile(3).unit_status().find("requires the operator's id"), std::string::npos);
  std::string error;
  EXPECT_FALSE(grid->set_operator("an\nna", &error));
  ASSERT_TRUE(grid->set_operator("anna", &error)) << error;
  EXPECT_FALSE(grid->run(3));
  EXPECT_EQ(tile(3).unit_status(), "scan the unit first: this station requires its serial");
  EXPECT_FALSE(grid->run(3, "XY1"));
  EXPECT_NE(tile(3).unit_status().find("does not match"), std::string::npos);
  EXPECT_EQ(tile(3).stage(), multiport::TileStage::kNoChild);

  ASSERT_TRUE(grid->run(3, "SN1"));
  EXPECT_FALSE(grid->run(3, "SN9"));  // a scan during the run is dropped
  ASSERT_TRUE(until([&] { return idle(3) && !tile(3).fixture_alarm().empty(); }));
  EXPECT_EQ(tile(3).log().back(), "args --operator=anna --unit=SN1 unit [SN1]");
  EXPECT_EQ(tile(3).unit_status(), "unit SN1: attempt 1");
  EXPECT_EQ(tile(3).fixture_alarm(),
            "check the fixture on port 3: 1 red runs in a row\nfailing line 2: ti (1x)");
  EXPECT_EQ(tile(3).message(), "");  // none of these is a message

  ASSERT_TRUE(grid->run(3, "SN2"));  // the waiting child is given the serial
  ASSERT_TRUE(until([&] { return idle(3) && tile(3).runs() == 2; }));
  EXPECT_EQ(tile(3).log().back(), "args --operator=anna --unit=SN1 unit [SN2]");
  ASSERT_TRUE(until([&] { return tile(3).unit_status() == "unit SN2: attempt 2"; }));
  grid->close();
  ASSERT_TRUE(until([&] { return grid->finished(); }));
}

TEST_F(Grid, a_tile_refuses_serials_and_operators_that_hide_or_reorder_text_naming_the_character) {
  make({3}, kUnitChild, {{3, "green, 1 s"}});
  station::StationSettings settings;
  settings.unit_serial = station::Asking::kOptional;
  grid->set_settings(settings);
  for (const auto& sample : testing_support::hidden_identities()) {
    std::string error;
    EXPECT_FALSE(grid->set_operator(sample.text, &error)) << sample.what;
    EXPECT_NE(error.find("holds " + sample.named), std::string::npos)
        << sample.what << ": " << error;
    EXPECT_FALSE(grid->run(3, sample.text)) << sample.what;
    EXPECT_NE(tile(3).unit_status().find("holds " + sample.named), std::string::npos)
        << sample.what << ": " << tile(3).unit_status();
    EXPECT_EQ(tile(3).stage(), multiport::TileStage::kNoChild) << sample.what;
  }
}

TEST(GridTile, a_green_run_clears_the_fixture_alarm_and_the_unit_prompt_is_no_message) {
  multiport::GridTile t(2, "/dev/fake2");
  t.run_started();
  t.child_line(true, "ffsload: check the fixture on port 2: 3 red runs in a row");
  t.child_line(true, "ffsload:   failing line 7: mkdir gsm (3x)");
  t.child_line(false, "run 1: red, 1 s, line 7: mkdir gsm => 100");
  EXPECT_EQ(t.fixture_alarm(),
            "check the fixture on port 2: 3 red runs in a row\nfailing line 7: mkdir gsm (3x)");
  t.run_started();
  t.child_line(true,
               "Next unit: scan or type its serial and Enter (Enter alone: none), q and "
               "Enter to quit: ffsload: unit SN7: attempt 4, passed before at 2024-03-01 "
               "08:15 UTC");
  EXPECT_EQ(t.unit_status(), "unit SN7: attempt 4, passed before at 2024-03-01 08:15 UTC");
  t.child_line(false, "run 2: green, 1 s");
  EXPECT_EQ(t.fixture_alarm(), "");
  EXPECT_EQ(t.message(), "");
}
