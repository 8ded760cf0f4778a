// The line model: what each port's card says as runs start, end and are
// found interrupted, and the day's counts.
#include "board/line_model.h"

#include <gtest/gtest.h>

#include "board/board_json.h"
#include "board/board_samples.h"
#include "board/port_alarm.h"

namespace {

using board::BoardRow;
using board::LineModel;
using board_testing::board_row;
using board_testing::port_run;
using testing_support::test_time;

constexpr int kToday = 5;

class LineModelTest : public ::testing::Test {
 protected:
  LineModelTest() : model(board::runs_kept_for_alarm(3)) { model.start_day(test_time(kToday, 0)); }

  BoardRow run(int port, const std::string& outcome, int minute, const char* imei = nullptr,
               int day = kToday) {
    return board_row(port_run("st-a", port, outcome, day, minute, imei), ++next_id);
  }
  const board::PortCard& card(const board::LineView& view, int port) {
    for (const auto& c : view.cards) {
      if (c.port == port) return c;
    }
    ADD_FAILURE() << "no card for port " << port;
    return view.cards.front();
  }

  LineModel model;
  std::int64_t next_id = 0;
  board::AlarmRule rule = board::fixture_alarm_rule(3);
};

TEST_F(LineModelTest, a_run_shows_running_then_its_outcome_and_counts_in_the_day) {
  BoardRow started = run(1, "running", 60, "aa01");
  EXPECT_TRUE(model.apply(started));
  EXPECT_FALSE(model.apply(started)) << "the same copy again changes nothing";
  auto view = model.view(rule);
  ASSERT_EQ(view.cards.size(), 1u);
  ASSERT_TRUE(card(view, 1).running.has_value());
  EXPECT_EQ(card(view, 1).runs_today, 0) << "a run under way is not counted yet";
  EXPECT_EQ(model.watched_ids(), std::vector<std::int64_t>{started.id});

  BoardRow ended = started;
  ended.outcome = "red";
  ended.revision = 3;
  ended.failed_line = 12;
  ended.failed_text = "compare afcdac rf/afcdac";
  EXPECT_TRUE(model.apply(ended));
  view = model.view(rule);
  const auto& c = card(view, 1);
  EXPECT_FALSE(c.running.has_value());
  ASSERT_TRUE(c.last_outcome.has_value());
  EXPECT_EQ(c.last_outcome->outcome, "red");
  EXPECT_EQ(c.runs_today, 1);
  EXPECT_EQ(c.first_pass_yield_today(), 0.0);
  ASSERT_EQ(view.failing_lines.size(), 1u);
  EXPECT_EQ(view.failing_lines[0].line, 12);
  EXPECT_TRUE(model.watched_ids().empty());

  // The next run starts: the card runs again and still tells the last outcome.
  model.apply(run(1, "running", 70));
  view = model.view(rule);
  EXPECT_TRUE(card(view, 1).running.has_value());
  EXPECT_EQ(card(view, 1).last_outcome->outcome, "red");
}

TEST_F(LineModelTest, first_pass_counts_only_units_on_their_first_run) {
  BoardRow first = run(2, "green", 10, "aa01");
  BoardRow retest = run(2, "green", 20, "aa02");
  retest.first_attempt = false;  // its unit failed earlier
  BoardRow failed = run(2, "red", 30, "aa03");
  BoardRow no_run = run(2, "no run", 40);
  for (const BoardRow& r : {first, retest, failed, no_run}) model.apply(r);
  const auto view = model.view(rule);
  EXPECT_EQ(card(view, 2).runs_today, 4);
  EXPECT_EQ(card(view, 2).first_runs_today, 2);
  EXPECT_EQ(card(view, 2).first_pass_today, 1);
  EXPECT_EQ(card(view, 2).last_outcome->id, failed.id) << "a no run is no outcome";
  EXPECT_NE(board::card_json(card(view, 2), false).find("\"first_pass_yield_today\":50.0"),
            std::string::npos);
}

TEST_F(LineModelTest, the_latest_run_is_the_latest_started_whatever_order_records_arrive_in) {
  BoardRow newer = run(3, "green", 50);
  BoardRow late = run(3, "red", 40);  // forwarded from an outbox after the newer one
  model.apply(newer);
  model.apply(late);
  EXPECT_EQ(card(model.view(rule), 3).last_outcome->id, newer.id);
}

TEST_F(LineModelTest, yesterdays_runs_leave_the_counts_at_midnight) {
  model.start_day(test_time(kToday - 1, 0));
  model.apply(run(1, "green", 23 * 60, nullptr, kToday - 1));
  EXPECT_EQ(card(model.view(rule), 1).runs_today, 1);
  EXPECT_TRUE(model.start_day(test_time(kToday, 0)));
  const auto view = model.view(rule);
  EXPECT_EQ(card(view, 1).runs_today, 0);
  EXPECT_EQ(card(view, 1).first_pass_yield_today(), std::nullopt);
  EXPECT_EQ(card(view, 1).last_outcome->outcome, "green") << "the last outcome stays";
}

TEST_F(LineModelTest, an_interrupted_run_with_a_pending_imei_is_listed_until_answered) {
  BoardRow open = run(4, "running", 5, "aa09");
  model.apply(open);
  BoardRow interrupted = open;
  interrupted.outcome = "interrupted";
  interrupted.imei_fate = "pending";
  interrupted.revision = 4;
  BoardRow next = run(4, "running", 9);
  model.apply(next);
  model.apply(interrupted);
  auto view = model.view(rule);
  ASSERT_EQ(view.pending_imeis.size(), 1u);
  EXPECT_TRUE(card(view, 4).running.has_value());
  EXPECT_EQ(card(view, 4).last_outcome->outcome, "interrupted");
  EXPECT_TRUE(card(view, 4).imei_pending);
  EXPECT_EQ(model.watched_ids().size(), 2u) << "the run under way and the pending IMEI";

  interrupted.imei_fate = "restored";
  interrupted.revision = 5;
  EXPECT_TRUE(model.apply(interrupted));
  view = model.view(rule);
  EXPECT_TRUE(view.pending_imeis.empty());
  EXPECT_FALSE(card(view, 4).imei_pending);
}

TEST_F(LineModelTest, the_fixture_alarm_needs_k_red_runs_on_k_units_and_clears_with_a_green) {
  model.apply(run(5, "red", 1, "aa01"));
  model.apply(run(5, "red", 2, "aa01"));
  model.apply(run(5, "red", 3, "aa01"));
  EXPECT_TRUE(model.view(rule).alarms.empty()) << "one unit failing thrice is the unit's fault";
  model.apply(run(5, "red", 4, "aa02"));
  model.apply(run(5, "red", 5, "aa03"));
  auto view = model.view(rule);
  ASSERT_EQ(view.alarms.size(), 1u);
  EXPECT_TRUE(card(view, 5).fixture_alarm);
  EXPECT_EQ(view.alarms[0].red_runs, 5);
  ASSERT_FALSE(view.alarms[0].failing_lines.empty());
  EXPECT_EQ(view.alarms[0].failing_lines[0], "12: compare afcdac rf/afcdac (5x)");
  model.apply(run(5, "green", 6, "aa04"));
  EXPECT_TRUE(model.view(rule).alarms.empty());
  EXPECT_TRUE(model.view(board::fixture_alarm_rule(0)).alarms.empty());
}

TEST(BoardJson, station_texts_are_escaped_and_never_hold_markup) {
  EXPECT_EQ(board::json_string("a\"b\\c d"), "\"a\\\"b\\\\c d\"");
  EXPECT_EQ(board::json_string("</script><b>&"), "\"\\u003c/script\\u003e\\u003cb\\u003e\\u0026\"");
  // Latin-1 from an old station file, as the records read it.
  EXPECT_EQ(board::json_string("Gr\xfc\xdf"), "\"Gr\xc3\xbc\xc3\x9f\"");
}

// A serial or an operator id stored before they were refused: the page and
// the API show the character written out, so nothing shows reversed,
// hidden or on two lines.
TEST(BoardJson, characters_that_hide_or_reorder_text_are_written_out_never_sent) {
  EXPECT_EQ(board::json_string("SN\u202E21"), "\"SN\\\\u202E21\"");
  EXPECT_EQ(board::json_string("ann\u2067a\u200B"), "\"ann\\\\u2067a\\\\u200B\"");
  EXPECT_EQ(board::json_string(std::string("\x01\x7f\n", 3)), "\"\\\\u0001\\\\u007F\\\\u000A\"");
  EXPECT_EQ(board::json_string(std::string("SN\xc2\x85") + "1"), "\"SN\\\\u00851\"");
  EXPECT_EQ(board::json_string("\xe2\x80\xa8"), "\"\\\\u2028\"");
  // A reason may span lines; its banner does not.
  EXPECT_EQ(board::error_json("cannot read\nDETAIL: gone\n"),
            "{\"error\":\"cannot read DETAIL: gone \"}");
}

TEST(BoardJson, a_card_has_exactly_the_api_fields_in_order) {
  board::PortCard card;
  card.station = "st-a";
  card.port = 2;
  const std::string json = board::card_json(card, false);
  EXPECT_EQ(json,
            "{\"station\":\"st-a\",\"port\":2,\"state\":\"idle\",\"started_at\":null,"
            "\"customer\":null,\"unit_serial\":null,\"operator\":null,\"last_outcome\":null,"
            "\"last_ended_at\":null,\"failed_line\":null,\"failed_text\":null,\"runs_today\":0,"
            "\"first_pass_yield_today\":null,\"fixture_alarm\":false}");
}

}  // namespace
