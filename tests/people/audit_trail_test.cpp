// The audit trail's chain: a clean trail holds; each kind of change made to
// the table afterwards (an edit, a deletion, two events swapped, one
// inserted, with or without its hashes computed again) is found and the
// first event that does not hold is named; what only a kept head reveals.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "people/audit_check.h"
#include "people/audit_export.h"
#include "people/audit_trail.h"
#include "people/database.h"
#include "support/temp_dir.h"

namespace {

using namespace people;

constexpr int kEvents = 300;

struct Trail : ::testing::Test {
  testing_support::TempDir dir;
  std::unique_ptr<Database> db = open_database("runs.sqlite", Access::kWriting);

  void SetUp() override {
    // Two stations' chains, interleaved as a line's stations write them.
    Transaction t(*db, "");
    for (int i = 0; i < kEvents; ++i) {
      AuditEvent e;
      e.station = i % 3 == 0 ? "pc-a" : "pc-b";
      e.happened_at = "2027-01-15T08:00:" + std::to_string(10 + i % 50) + ".000Z";
      e.kind = i % 2 ? kind::kRunStart : kind::kRunEnd;
      e.actor = "olga";
      e.what = "run " + std::to_string(i);
      if (i % 2 == 0) e.outcome = "green";
      append_event(*db, e);
    }
    t.commit();
    ASSERT_TRUE(check_trail(*db).holds());
  }
  void sql(const std::string& statement) { db->execute(statement, {}); }
  // The break told for pc-b, the chain the mutations touch.
  std::string break_of_b() {
    const TrailCheck check = check_trail(*db);
    EXPECT_EQ(check.breaks.size(), 1u);
    return check.breaks.empty() ? "" : check.breaks.front();
  }
  AuditEvent event_b(int number) {
    return event_from_row(db->query(std::string("SELECT ") + kEventColumns +
                                        " FROM audit_events WHERE station = 'pc-b' AND number = ?",
                                    {std::to_string(number)})[0]);
  }
};

bool names(const std::string& text, int number) {
  return text.find("station pc-b, number " + std::to_string(number) + ",") != std::string::npos;
}

TEST_F(Trail, a_clean_trail_holds_and_tells_each_stations_head) {
  const TrailCheck check = check_trail(*db);
  EXPECT_EQ(check.events, kEvents);
  ASSERT_EQ(check.heads.size(), 2u);
  EXPECT_EQ(check.heads[0].station, "pc-a");
  EXPECT_EQ(check.heads[0].number, kEvents / 3);
  EXPECT_EQ(check.heads[1].number, kEvents - kEvents / 3);
  // Its line reads back as the head it is, and checks against it.
  const auto line = head_line(check.heads[1]);
  const auto back = head_from_line(line);
  ASSERT_TRUE(back) << line;
  EXPECT_EQ(back->hash, check.heads[1].hash);
  EXPECT_FALSE(head_from_line("station pc-b: 3 events, head 3 not-a-hash"));
  EXPECT_TRUE(check_trail(*db, check.heads).holds());
}

TEST_F(Trail, an_edit_is_found_at_the_event_edited_or_at_the_next_when_its_hash_was_redone) {
  sql("UPDATE audit_events SET outcome = 'red' WHERE station = 'pc-b' AND number = 40");
  std::string told = break_of_b();
  EXPECT_TRUE(names(told, 40)) << told;
  EXPECT_NE(told.find("edited"), std::string::npos) << told;
  // Whoever knows the layout and computes that event's hash again breaks
  // the link to the next one.
  AuditEvent e = event_b(40);
  db->execute("UPDATE audit_events SET hash = ? WHERE id = ?",
              {event_hash(e), std::to_string(e.id)});
  told = break_of_b();
  EXPECT_TRUE(names(told, 41)) << told;
}

TEST_F(Trail, a_deleted_a_swapped_or_an_inserted_event_is_found_where_it_was) {
  sql("DELETE FROM audit_events WHERE station = 'pc-b' AND number = 77");
  std::string told = break_of_b();
  EXPECT_TRUE(names(told, 78)) << told;
  EXPECT_NE(told.find("number 77 before it is missing"), std::string::npos) << told;
  // The number taken back too: the link says it.
  sql("UPDATE audit_events SET number = number - 1 WHERE station = 'pc-b' AND number > 77");
  told = break_of_b();
  EXPECT_TRUE(names(told, 77)) << told;
}

TEST_F(Trail, two_events_swapped_or_one_inserted_are_found) {
  // Swapped: their numbers exchanged.
  sql("UPDATE audit_events SET number = -1 WHERE station = 'pc-b' AND number = 10");
  sql("UPDATE audit_events SET number = 10 WHERE station = 'pc-b' AND number = 11");
  sql("UPDATE audit_events SET number = 11 WHERE station = 'pc-b' AND number = -1");
  std::string told = break_of_b();
  EXPECT_TRUE(names(told, 10)) << told;
  sql("UPDATE audit_events SET number = -1 WHERE station = 'pc-b' AND number = 10");
  sql("UPDATE audit_events SET number = 10 WHERE station = 'pc-b' AND number = 11");
  sql("UPDATE audit_events SET number = 11 WHERE station = 'pc-b' AND number = -1");
  ASSERT_TRUE(check_trail(*db).holds());

  // Inserted with a number of its own, the later ones renumbered, its
  // hashes made as the program makes them: the next one tells.
  sql("UPDATE audit_events SET number = -number - 1 WHERE station = 'pc-b' AND number >= 120");
  sql("UPDATE audit_events SET number = -number WHERE station = 'pc-b' AND number < 0");
  AuditEvent forged = event_b(119);
  forged.number = 120;
  forged.what = "a run that never was";
  forged.previous_hash = forged.hash;
  forged.hash = event_hash(forged);
  std::string columns = kEventColumns;
  columns.erase(0, columns.find(',') + 2);
  db->execute("INSERT INTO audit_events (" + columns +
                  ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
              event_values(forged));
  told = break_of_b();
  EXPECT_TRUE(names(told, 121)) << told;
}

TEST_F(Trail, a_chain_cut_short_or_written_again_whole_shows_only_against_a_kept_head) {
  const std::vector<ChainHead> kept = check_trail(*db).heads;
  sql("DELETE FROM audit_events WHERE station = 'pc-b' AND number > 150");
  EXPECT_TRUE(check_trail(*db).holds());  // the chain alone cannot tell
  TrailCheck check = check_trail(*db, kept);
  ASSERT_EQ(check.breaks.size(), 1u);
  EXPECT_NE(check.breaks[0].find("newest events were deleted"), std::string::npos)
      << check.breaks[0];

  // Every hash of pc-a computed again after an edit: a chain that holds,
  // but not the one whose head was kept.
  sql("UPDATE audit_events SET actor = 'mallory' WHERE station = 'pc-a' AND number = 5");
  std::string previous = kFirstPreviousHash;
  for (int number = 1; number <= kEvents / 3; ++number) {
    AuditEvent e = event_from_row(db->query(std::string("SELECT ") + kEventColumns +
                                                " FROM audit_events WHERE station = 'pc-a' AND "
                                                "number = ?",
                                            {std::to_string(number)})[0]);
    e.previous_hash = previous;
    e.hash = event_hash(e);
    previous = e.hash;
    db->execute("UPDATE audit_events SET previous_hash = ?, hash = ? WHERE id = ?",
                {e.previous_hash, e.hash, std::to_string(e.id)});
  }
  check = check_trail(*db, {kept[0]});
  ASSERT_EQ(check.breaks.size(), 1u);
  EXPECT_NE(check.breaks[0].find("written again"), std::string::npos) << check.breaks[0];
}

TEST_F(Trail, an_export_gives_each_event_from_the_day_on_as_csv_or_json) {
  sql("UPDATE audit_events SET happened_at = '2027-01-14T23:59:59.999Z' WHERE number <= 10");
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  EXPECT_EQ(export_events(*db, "2027-01-15", ExportFormat::kCsv, out), kEvents - 20);
  std::fclose(out);
  const std::string csv(text, size);
  std::free(text);
  EXPECT_TRUE(csv.starts_with("id,station,number,happened_at,kind,actor")) << csv.substr(0, 80);
  EXPECT_NE(csv.find(",pc-b,11,2027-01-15T08:00:"), std::string::npos);
  EXPECT_EQ(csv.find(",pc-b,10,"), std::string::npos);

  out = open_memstream(&text, &size);
  EXPECT_EQ(export_events(*db, "", ExportFormat::kJson, out), kEvents);
  std::fclose(out);
  const std::string json(text, size);
  std::free(text);
  EXPECT_TRUE(json.starts_with("[\n{\"id\":")) << json.substr(0, 40);
  EXPECT_NE(json.find("\"outcome\":null"), std::string::npos);
  EXPECT_TRUE(json.ends_with("}\n]\n"));
}

}  // namespace
