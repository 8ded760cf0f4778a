// Runs whose units have awkward histories, and what the yield report must
// make of them: the same records go to SQLite and to PostgreSQL, and both
// stores must give the same counts.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/record_samples.h"
#include "records/report.h"

namespace testing_support {

// Three days from 2024-03-01; customer "1" unless said.
inline std::vector<records::RunRecord> awkward_unit_histories() {
  auto run = [](const char* serial, const char* imei, const std::string& outcome, int day,
                int minute, const char* station = "station-a", const char* customer = "1") {
    records::RunRecord r = sample_record(customer, imei, outcome, day, minute);
    if (serial) r.unit_serial = serial;
    r.station = station;
    return r;
  };
  return {
      // Unit S1 fails on one station and passes a day later on another.
      run("S1", "aa", "red", 0, 10),
      run("S1", "aa", "green", 1, 10, "station-b"),
      // IMEI bb: a "no run" first (its handset's first run, no unit's), then
      // two runs at the same moment: the lower id is the unit's first, the
      // higher its last.
      run(nullptr, "bb", "no run", 0, 20),
      run(nullptr, "bb", "red", 0, 30),
      run(nullptr, "bb", "green", 0, 30),
      // A run that has not ended is a handset but no unit.
      run(nullptr, "cc", "running", 1, 5),
      // Known by neither: a unit of its own; a "no run" is none.
      run(nullptr, nullptr, "red", 1, 20),
      run(nullptr, nullptr, "no run", 1, 21),
      // dd passes on day 0 and fails on day 1: no first run on day 1, and
      // not passed in the end.
      run(nullptr, "dd", "green", 0, 40),
      run(nullptr, "dd", "red", 1, 30),
      // ee fails first on day 1 and passes on day 2.
      run(nullptr, "ee", "red", 1, 40),
      run(nullptr, "ee", "green", 2, 0),
      // ff ran under serial S2 before: its IMEI's unit has had a run.
      run("S2", "ff", "red", 0, 50),
      run(nullptr, "ff", "green", 1, 50),
      // gg ran for customer 2 before it ran for customer 1.
      run(nullptr, "gg", "red", 0, 55, "station-a", "2"),
      run(nullptr, "gg", "green", 1, 55),
  };
}

struct Expected {
  long runs, handsets, first_runs, first_pass, units, unit_first_runs, unit_first_pass,
      unit_final_pass, run_units;
};

inline void expect_counts(const records::ReportRow& row, const Expected& e) {
  SCOPED_TRACE(row.customer + " " + row.day);
  EXPECT_EQ(row.runs, e.runs);
  EXPECT_EQ(row.interrupted, 0);
  EXPECT_EQ(row.handsets, e.handsets);
  EXPECT_EQ(row.first_runs, e.first_runs);
  EXPECT_EQ(row.first_pass, e.first_pass);
  EXPECT_EQ(row.units, e.units);
  EXPECT_EQ(row.unit_first_runs, e.unit_first_runs);
  EXPECT_EQ(row.unit_first_pass, e.unit_first_pass);
  EXPECT_EQ(row.unit_final_pass, e.unit_final_pass);
  EXPECT_EQ(row.run_units, e.run_units);
}

// Day 0 of customer 1: aa, bb (its "no run" first), dd and S2/ff begin; S1
// and bb pass in the end.
constexpr Expected kDay0{6, 4, 4, 1, 4, 4, 1, 2, 0};
// Day 1 of customer 1: only cc (running) and ee are new handsets; the lone
// run and ee are new units, and ee passes on day 2. The same whether or not
// the days around it are in the report.
constexpr Expected kDay1{8, 6, 2, 0, 6, 2, 0, 1, 1};
constexpr Expected kDay2{1, 1, 0, 0, 1, 0, 0, 0, 0};
constexpr Expected kCustomer2{1, 1, 1, 0, 1, 1, 0, 1, 0};

// The report over these runs, unfiltered and filtered, as `store` gives it.
inline void expect_awkward_histories_report(records::Store& store) {
  auto rows = records::build_report(store, {});
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].customer, "1");
  expect_counts(rows[0], kDay0);
  EXPECT_EQ(rows[1].customer, "2");
  expect_counts(rows[1], kCustomer2);
  expect_counts(rows[2], kDay1);
  expect_counts(rows[3], kDay2);

  // Runs before and after the range still decide first and last runs.
  records::ReportFilter day1;
  day1.since = "2024-03-02";
  day1.until = "2024-03-02";
  rows = records::build_report(store, day1);
  ASSERT_EQ(rows.size(), 1u);
  expect_counts(rows[0], kDay1);

  // So do the runs of another customer.
  records::ReportFilter customer1;
  customer1.customer = "1";
  rows = records::build_report(store, customer1);
  ASSERT_EQ(rows.size(), 3u);
  expect_counts(rows[0], kDay0);
  expect_counts(rows[1], kDay1);
  expect_counts(rows[2], kDay2);

  // Per customer over the three days: a unit counts, with its yields, for
  // the customer of its first run only: gg for customer 2, though it ran for
  // both; ff's IMEI, whose first run was S2's, is not a unit of its own.
  const auto customers = records::build_grouped_report(store, {}, records::GroupBy::kCustomer, 3);
  ASSERT_EQ(customers.size(), 2u);
  expect_counts(customers[0], {15, 7, 6, 1, 6, 6, 1, 3, 1});
  EXPECT_EQ(customers[1].units, 1);
  EXPECT_EQ(customers[1].unit_first_runs, 1);
}

}  // namespace testing_support
