#include "records/group_counts.h"

#include <gtest/gtest.h>

#include "records/sqlite_store.h"
#include "records/unit_histories.h"
#include "support/temp_dir.h"

namespace {

class UnitHistories : public ::testing::Test {
 protected:
  void SetUp() override {
    records::SqliteStore store("runs.sqlite", records::OpenFor::kWriting);
    store.append(testing_support::awkward_unit_histories());
  }
  testing_support::TempDir dir;
};

// The file's store without a second connection for reading, as a store that
// gives none: one connection reads the range and every unit's runs in turn.
class OneConnection : public records::Store {
 public:
  explicit OneConnection(records::Store& store) : store_(store) {}
  void append(std::span<const records::RunRecord> records) override { store_.append(records); }
  std::vector<records::Row> query(const std::string& sql,
                                  const std::vector<std::string>& params) override {
    return store_.query(sql, params);
  }
  void for_each_row(const std::string& sql, const std::vector<std::string>& params,
                    const std::function<void(const records::Row&)>& take) override {
    store_.for_each_row(sql, params, take);
  }

 private:
  records::Store& store_;
};

}  // namespace

TEST_F(UnitHistories, first_and_last_runs_come_from_each_units_whole_history) {
  records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
  testing_support::expect_awkward_histories_report(store);
}

TEST_F(UnitHistories, units_looked_up_a_few_at_a_time_count_as_when_read_whole) {
  records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
  const records::GroupQuery whole{"customer", "substr(started_at, 1, 10)", "0000-01-01",
                                  "9999-12-31", ""};
  const auto all = records::count_groups(store, whole);
  ASSERT_EQ(all.size(), 4u);
  // A customer's runs alone: the units of range are looked up, one or two
  // at a time, and each group still counts as in the whole store.
  for (std::size_t per_lookup : {1u, 2u, 500u}) {
    for (const char* customer : {"1", "2"}) {
      records::GroupQuery one = whole;
      one.customer = customer;
      for (const auto& [key, counts] : records::count_groups(store, one, per_lookup)) {
        ASSERT_TRUE(all.contains(key)) << key.first << " " << key.second;
        EXPECT_EQ(counts, all.at(key)) << key.first << " " << key.second << " by " << per_lookup;
      }
    }
  }
}

TEST_F(UnitHistories, a_range_without_runs_gives_no_groups) {
  records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
  EXPECT_TRUE(
      records::count_groups(store, {"customer", "''", "2025-01-01", "2025-02-01", ""}).empty());
  records::ReportFilter later;
  later.since = "2025-01-01";
  EXPECT_TRUE(records::build_report(store, later).empty());
}

// The file reads the range in two halves and every unit's runs beside it, on
// connections of their own; the counts must not tell.
TEST_F(UnitHistories, a_store_read_on_one_connection_counts_as_one_read_on_several_at_once) {
  records::SqliteStore file("runs.sqlite", records::OpenFor::kReading);
  ASSERT_NE(file.open_reader(), nullptr);
  OneConnection one(file);
  ASSERT_EQ(one.open_reader(), nullptr);
  for (const char* group : {"substr(started_at, 1, 10)", "station", "''"}) {
    for (const records::GroupQuery& query :
         {records::GroupQuery{"customer", group, "0000-01-01", "9999-12-31", ""},
          records::GroupQuery{"customer", group, "0000-01-01", "9999-12-31", "1"},
          records::GroupQuery{"customer", group, "2024-03-02", "2024-03-03", ""}}) {
      EXPECT_EQ(records::count_groups(one, query), records::count_groups(file, query))
          << group << " " << query.customer << " " << query.from;
    }
  }
  testing_support::expect_awkward_histories_report(one);
  testing_support::expect_awkward_histories_report(file);
}
