#include "records/report.h"

#include <gtest/gtest.h>

#include "records/record_samples.h"
#include "records/sqlite_store.h"
#include "records/yield_chart.h"
#include "support/temp_dir.h"

namespace {

using testing_support::red_record;
using testing_support::sample_record;

class YieldReport : public ::testing::Test {
 protected:
  void SetUp() override {
    records::SqliteStore store("runs.sqlite", records::OpenFor::kWriting);
    const std::vector<records::RunRecord> runs{
        // Day 0, customer 1: handset A fails at line 5, then passes; B passes.
        red_record("1", "aa", 5, "fwr rf/afcdac /gsm/rf/afcdac", 0, 10),
        sample_record("1", "aa", "green", 0, 20),
        sample_record("1", "bb", "green", 0, 30),
        // Day 1: C fails twice at line 7 and once at 3, then passes; A comes
        // back (not a first run); a run without an IMEI counts as a run only.
        red_record("1", "cc", 7, "compare IMEI IMEI", 1, 10),
        red_record("1", "cc", 7, "compare IMEI IMEI", 1, 11),
        red_record("1", "cc", 3, "mkfs", 1, 12),
        sample_record("1", "cc", "green", 1, 20),
        sample_record("1", "aa", "green", 1, 30),
        sample_record("1", nullptr, "no run", 1, 40),
        // Day 1, customer 4.1, a name that needs quoting in CSV.
        sample_record("4.1", "dd", "green", 1, 50),
        sample_record("4,\"x\"", "ee", "green", 2, 0),
    };
    store.append(runs);
  }

  std::vector<records::ReportRow> report(const records::ReportFilter& filter = {}) {
    records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
    return records::build_report(store, filter);
  }

  testing_support::TempDir dir;
};

}  // namespace

TEST_F(YieldReport, counts_a_handset_at_its_first_run_only) {
  const auto rows = report();
  ASSERT_EQ(rows.size(), 4u);
  const auto& day0 = rows[0];
  EXPECT_EQ(day0.day, "2024-03-01");
  EXPECT_EQ(day0.customer, "1");
  EXPECT_EQ(day0.runs, 3);
  EXPECT_EQ(day0.handsets, 2);
  EXPECT_EQ(day0.first_runs, 2);
  EXPECT_EQ(day0.first_pass, 1);  // B; A failed at its first run
  EXPECT_DOUBLE_EQ(*day0.yield_percent(), 50.0);
  EXPECT_EQ(day0.failing_line, 5);
  EXPECT_EQ(day0.failing_text, "fwr rf/afcdac /gsm/rf/afcdac");

  const auto& day1 = rows[1];
  EXPECT_EQ(day1.day, "2024-03-02");
  EXPECT_EQ(day1.customer, "1");
  EXPECT_EQ(day1.runs, 6);
  EXPECT_EQ(day1.handsets, 2);  // C and A
  EXPECT_EQ(day1.first_runs, 1);
  EXPECT_EQ(day1.first_pass, 0);
  EXPECT_EQ(day1.failing_line, 7);
  EXPECT_EQ(day1.failing_count, 2);
  EXPECT_EQ(rows[2].customer, "4.1");
  EXPECT_DOUBLE_EQ(*rows[2].yield_percent(), 100.0);
}

TEST_F(YieldReport, filters_by_day_range_and_customer_without_changing_first_runs) {
  records::ReportFilter since;
  since.since = "2024-03-02";
  since.until = "2024-03-02";
  auto rows = report(since);
  ASSERT_EQ(rows.size(), 2u);
  // A's first run was before the range: its run on day 1 is still no first run.
  EXPECT_EQ(rows[0].first_runs, 1);
  records::ReportFilter customer;
  customer.customer = "4.1";
  rows = report(customer);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].customer, "4.1");
  customer.since = "2024-03-03";
  EXPECT_TRUE(report(customer).empty());

  EXPECT_TRUE(records::valid_day("2024-02-29"));
  EXPECT_FALSE(records::valid_day("2023-02-29"));
  EXPECT_FALSE(records::valid_day("2024-3-1"));
  EXPECT_FALSE(records::valid_day("2024-03-01x"));
}

TEST_F(YieldReport, prints_a_table_csv_and_a_chart) {
  const auto rows = report();
  const std::string table = records::format_table(rows);
  // Units, and the yields per unit: A failed first and passed in the end.
  EXPECT_NE(table.find("2024-03-01  1            3            0      2             50.0%       "
                       "100.0%  5: fwr rf/afcdac /gsm/rf/afcdac (1x)"),
            std::string::npos)
      << table;
  const std::string csv = records::format_csv(rows);
  // The columns of before keep their places; the units' follow.
  EXPECT_NE(csv.find("2024-03-02,1,6,2,1,0,0.0,7,compare IMEI IMEI,2,0,2,1,0,0.0,1,100.0,0\n"),
            std::string::npos)
      << csv;
  EXPECT_NE(csv.find("2024-03-03,\"4,\"\"x\"\"\",1,1,1,1,100.0,,,,0,1,1,1,100.0,1,100.0,0\n"),
            std::string::npos)
      << csv;

  const std::string svg = records::yield_chart_svg(rows);
  EXPECT_TRUE(svg.starts_with("<svg xmlns=\"http://www.w3.org/2000/svg\""));
  EXPECT_NE(svg.find("customer 4,&quot;x&quot;"), std::string::npos);
  EXPECT_EQ(svg.find("\"x\""), std::string::npos);  // quotes escaped in text
  // One bar per customer and day with a first run: four.
  std::size_t bars = 0;
  for (auto at = svg.find("<title>"); at != std::string::npos; at = svg.find("<title>", at + 1)) {
    ++bars;
  }
  EXPECT_EQ(bars, 4u);
  EXPECT_NE(records::yield_chart_svg({}).find("no runs"), std::string::npos);
}

TEST_F(YieldReport, days_are_exactly_yyyy_mm_dd_and_a_bad_stored_number_is_named) {
  for (const char* day : {"2024-01-10", "2024-02-29"}) EXPECT_TRUE(records::valid_day(day)) << day;
  for (const char* day : {"2024- 1-10", "2024-01-+9", "2024-01- 9", " 2024-1-10", "+024-01-10",
                          "2024-1-100", "2023-02-29", "2024/01/10", "2024-01-10 "}) {
    EXPECT_FALSE(records::valid_day(day)) << day;
  }
  {
    records::SqliteStore store("runs.sqlite", records::OpenFor::kWriting);
    store.query("UPDATE runs SET failed_line = 'five' WHERE failed_line = 5", {});
  }
  try {
    report();
    ADD_FAILURE() << "a failed_line that is no number was read";
  } catch (const records::BadStoredValue& e) {
    EXPECT_NE(std::string(e.what()).find("\"five\" as failed_line"), std::string::npos) << e.what();
  }
}

TEST(UnitYieldReport, units_are_serials_else_imeis_else_runs_and_group_by_port_and_operator) {
  testing_support::TempDir dir;
  auto run = [](const char* serial, const char* imei, const std::string& outcome, int minute,
                int port, const char* op) {
    records::RunRecord r = outcome == "red" ? red_record("1", imei, 9, "compare x x", 0, minute)
                                            : sample_record("1", imei, outcome, 0, minute);
    if (serial) r.unit_serial = serial;
    r.port = port;
    if (op) r.operator_id = op;
    return r;
  };
  {
    records::SqliteStore store("runs.sqlite", records::OpenFor::kWriting);
    store.append(std::vector<records::RunRecord>{
        // S1 fails on port 1, passes on port 2; S2 passes; the same handset
        // (IMEI aa) under two serials is two units.
        run("S1", "aa", "red", 1, 1, "anna"),
        run("S1", "aa", "green", 2, 2, "ben"),
        run("S2", "aa", "green", 3, 2, "ben"),
        // Known by IMEI only: fails and is never seen again.
        run(nullptr, "bb", "red", 4, 1, "anna"),
        // Neither: a run of its own; a no run is no unit.
        run(nullptr, nullptr, "red", 5, 1, nullptr),
        run(nullptr, nullptr, "no run", 6, 1, nullptr),
    });
  }
  records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
  const auto day = records::build_report(store, {});
  ASSERT_EQ(day.size(), 1u);
  EXPECT_EQ(day[0].runs, 6);
  EXPECT_EQ(day[0].units, 4);  // S1, S2, bb, one run
  EXPECT_EQ(day[0].unit_first_runs, 4);
  EXPECT_EQ(day[0].unit_first_pass, 1);  // S2
  EXPECT_EQ(day[0].unit_final_pass, 2);  // S1 and S2
  EXPECT_EQ(day[0].run_units, 1);
  EXPECT_DOUBLE_EQ(*day[0].first_pass_percent(), 25.0);
  EXPECT_DOUBLE_EQ(*day[0].final_percent(), 50.0);

  const auto ports = records::build_grouped_report(store, {}, records::GroupBy::kPort, 3);
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].customer, "station-a port 1");
  EXPECT_EQ(ports[0].units, 3);            // S1, bb, the run of its own
  EXPECT_EQ(ports[0].unit_first_runs, 3);  // S1 began here
  EXPECT_EQ(ports[0].unit_first_pass, 0);
  EXPECT_EQ(ports[0].unit_final_pass, 1);  // S1 passed in the end, elsewhere
  EXPECT_EQ(ports[0].red_streak, 3);
  EXPECT_TRUE(ports[0].fixture_alarm);
  EXPECT_EQ(ports[1].red_streak, 0);
  const std::string table = records::format_grouped_table(ports, records::GroupBy::kPort);
  EXPECT_NE(table.find("station-a port 1     4            0      3              0.0%        33.3%  "
                       "3 (check the fixture)  9: compare x x (3x)"),
            std::string::npos)
      << table;
  EXPECT_NE(records::format_grouped_csv(ports, records::GroupBy::kPort)
                .find("station-a port 2,2,0,1,1,1,100.0,1,100.0,0,,,,0,0\n"),
            std::string::npos);

  const auto operators = records::build_grouped_report(store, {}, records::GroupBy::kOperator, 3);
  ASSERT_EQ(operators.size(), 3u);
  EXPECT_EQ(operators[0].customer, "");  // runs without an operator
  EXPECT_EQ(operators[1].customer, "anna");
  EXPECT_EQ(operators[1].unit_first_runs, 2);
  EXPECT_EQ(operators[2].customer, "ben");
  EXPECT_EQ(operators[2].unit_first_runs, 1);  // S2; S1 was anna's first
}

// What a spreadsheet would run as a formula is written as text
// (tests/text/csv_text_test); numbers, negative ones too, stay numbers.
TEST(ReportCsv, fields_a_spreadsheet_would_take_for_formulas_are_written_as_text) {
  records::ReportRow row;
  row.customer = "=1+1";  // an operator id, grouped --by operator
  row.runs = 2;
  row.failing_line = -4;  // a number, as a store may hold one
  row.failing_text = "@mkfs";
  row.failing_count = 2;
  const std::string csv = records::format_grouped_csv({row}, records::GroupBy::kOperator);
  EXPECT_NE(csv.find("\n'=1+1,2,0,0,0,0,,0,,0,-4,'@mkfs,2\n"), std::string::npos) << csv;
  row.day = "2024-03-01";
  EXPECT_NE(records::format_csv({row}).find("\n2024-03-01,'=1+1,2,"), std::string::npos);
}

// An operator id or a serial stored before such characters were refused:
// the report shows them written out, in its table, its CSV and its window.
TEST(UnitYieldReport, stored_characters_that_hide_or_reorder_text_are_shown_written_out) {
  testing_support::TempDir dir;
  {
    records::SqliteStore store("runs.sqlite", records::OpenFor::kWriting);
    records::RunRecord r = red_record("1\u2066", "aa", 3, "mkfs\u202E", 0, 1);
    r.operator_id = std::string("ann\u202Ea\xc2\x85");
    store.append(std::vector<records::RunRecord>{r});
  }
  records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
  const auto operators = records::build_grouped_report(store, {}, records::GroupBy::kOperator, 3);
  ASSERT_EQ(operators.size(), 1u);
  EXPECT_EQ(operators[0].customer, "ann\\u202Ea\\u0085");
  EXPECT_EQ(operators[0].failing_text, "mkfs\\u202E");
  const auto days = records::build_report(store, {});
  ASSERT_EQ(days.size(), 1u);
  EXPECT_EQ(days[0].customer, "1\\u2066");
  const std::string table = records::format_table(days);
  EXPECT_NE(table.find("1\\u2066"), std::string::npos) << table;
  EXPECT_EQ(table.find("\u2066"), std::string::npos) << table;
  EXPECT_NE(records::format_grouped_csv(operators, records::GroupBy::kOperator)
                .find("\nann\\u202Ea\\u0085,1,"),
            std::string::npos);
}

// Each unit loaded twice, its runs on two ports, by two operators, for two
// customers: every unit counts, with its yields, where its first run was,
// so no group shows units without their yields.
TEST(UnitYieldReport, grouped_a_unit_counts_with_its_yields_for_the_group_of_its_first_run) {
  testing_support::TempDir dir;
  {
    records::SqliteStore store("runs.sqlite", records::OpenFor::kWriting);
    std::vector<records::RunRecord> runs;
    for (int unit = 0; unit < 4; ++unit) {
      const std::string serial = "S" + std::to_string(unit);
      for (int attempt = 0; attempt < 2; ++attempt) {
        const bool first = attempt == 0;
        records::RunRecord r =
            first && unit % 2 == 0
                ? red_record(first ? "1" : "2", nullptr, 4, "ti", 0, unit * 10)
                : sample_record(first ? "1" : "2", nullptr, "green", 0, unit * 10 + attempt);
        r.unit_serial = serial;
        r.port = first ? 1 : 2;
        r.operator_id = first ? "anna" : "ben";
        runs.push_back(r);
      }
    }
    store.append(runs);
  }
  records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
  for (const auto by :
       {records::GroupBy::kPort, records::GroupBy::kOperator, records::GroupBy::kCustomer}) {
    const auto rows = records::build_grouped_report(store, {}, by, 3);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].runs, 4);
    EXPECT_EQ(rows[0].units, 4);
    EXPECT_DOUBLE_EQ(rows[0].first_pass_percent().value_or(-1), 50.0);
    EXPECT_DOUBLE_EQ(rows[0].final_percent().value_or(-1), 100.0);
    // The second runs' group began no unit: no units, and no yields.
    EXPECT_EQ(rows[1].runs, 4);
    EXPECT_EQ(rows[1].units, 0);
    EXPECT_FALSE(rows[1].first_pass_percent());
  }
  // Per day, a day's units are still the units handled that day.
  const auto days = records::build_report(store, {});
  ASSERT_EQ(days.size(), 2u);  // customers 1 and 2
  EXPECT_EQ(days[1].units, 4);
}
