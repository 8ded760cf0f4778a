// The Yield button's road: this station's records of the last days, handed
// to the front end's window, and a clear refusal when there is nothing to
// read or no window to show it in.
#include "records/yield_window.h"

#include <gtest/gtest.h>

#include <ctime>

#include "records/outbox.h"
#include "support/temp_dir.h"

namespace {

std::vector<records::ReportRow> g_shown;

void capture(const std::vector<records::ReportRow>& rows, const std::string& chart,
             const std::string&) {
  g_shown = rows;
  EXPECT_NE(chart.find("<svg"), std::string::npos);
}

records::RunRecord green_run(const std::string& imei) {
  records::RunRecord r;
  r.started_at_ms = r.ended_at_ms = static_cast<std::int64_t>(std::time(nullptr)) * 1000;
  r.uid = records::make_uid("station", r.started_at_ms) + imei;
  r.port = 3;
  r.customer = "1";
  r.script = "main.tms";
  r.imei = imei;
  r.outcome = "green";
  return r;
}

}  // namespace

TEST(ReportWindow, the_yield_button_shows_the_recent_records_or_says_why_not) {
  testing_support::TempDir dir;
  std::string error;
  records::set_report_window(capture);
  EXPECT_FALSE(records::show_recent_yield(14, &error));  // no records yet
  EXPECT_NE(error.find("runs.sqlite"), std::string::npos) << error;

  ASSERT_TRUE(records::keep_record("runs.sqlite", "outbox.sqlite", green_run("aa")).stored);
  ASSERT_TRUE(records::keep_record("runs.sqlite", "outbox.sqlite", green_run("bb")).stored);
  EXPECT_TRUE(records::show_recent_yield(14, &error)) << error;
  ASSERT_EQ(g_shown.size(), 1u);
  EXPECT_EQ(g_shown[0].runs, 2);
  EXPECT_EQ(g_shown[0].handsets, 2);

  records::set_report_window(nullptr);
  EXPECT_FALSE(records::show_recent_yield(14, &error));
  EXPECT_NE(error.find("no window"), std::string::npos) << error;
}
