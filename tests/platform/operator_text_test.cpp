// Texts for the operator as ids with arguments: the catalogue is sound, the
// English is what the command line has always printed, and an English line
// from a port's child is told back as its id and arguments.
#include "platform/operator_text.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "fs/imei_guard.h"
#include "records/fixture_alarm.h"
#include "run/imei_journal.h"

using platform::OperatorText;

TEST(OperatorText, every_id_is_unique_and_uses_its_placeholders_in_order_without_gaps) {
  std::set<std::string> ids;
  for (const auto& entry : platform::operator_text_catalogue()) {
    EXPECT_TRUE(ids.insert(entry.id).second) << "twice: " << entry.id;
    std::set<int> used;
    const std::string text = entry.english;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
      if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9')
        used.insert(text[i + 1] - '0');
    }
    // Two placeholders side by side could not be told apart again in a
    // child's English line (the grid's tiles).
    EXPECT_FALSE(std::regex_search(text, std::regex("%[1-9]%[1-9]"))) << entry.id;
    // %1..%n all present: a translation may reorder them, never skip one.
    if (!used.empty()) {
      EXPECT_EQ(*used.rbegin(), static_cast<int>(used.size())) << entry.id;
    }
    // A part's place is one of the text's own placeholders.
    for (const char* slot = entry.parts; *slot; ++slot)
      EXPECT_TRUE(used.count(*slot - '0')) << entry.id << ": part in %" << *slot;
  }
}

TEST(OperatorText, english_fills_the_arguments_once_and_an_unknown_id_still_shows_them) {
  EXPECT_EQ((OperatorText{"port.cannot_open", {"3", "No such file or directory"}}.english()),
            "cannot open port 3: No such file or directory");
  // An argument's own "%2" is not filled again.
  EXPECT_EQ((OperatorText{"file.cannot_write", {"log%2.txt", "disk full"}}.english()),
            "Fail to write file <log%2.txt>: disk full");
  EXPECT_EQ(OperatorText{}.english(), "");
  EXPECT_EQ((OperatorText{"no.such.id", {"a", "b"}}.english()), "no.such.id a b");
}

TEST(OperatorText, the_lines_a_station_prints_stay_as_they_were) {
  records::FixtureAlarm alarm;
  alarm.raised = true;
  alarm.red_runs = 3;
  alarm.failing_lines = {{12, "compare afcdac rf/afcdac", 2}};
  const auto lines = records::fixture_alarm_lines(5, alarm);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].english(), "check the fixture on port 5: 3 red runs in a row");
  EXPECT_EQ(lines[1].english(), "failing line 12: compare afcdac rf/afcdac (2x)");

  fs::PendingImei p;
  p.port = 3;
  p.imei = {0x53, 0x02, 0x99, 0x10, 0x47, 0x65, 0x43, 0xf1};
  p.unit_serial = "SN1";
  p.customer = "1";
  const std::string one = run::pending_question(p, {p});
  EXPECT_TRUE(std::regex_match(
      one, std::regex("The run on port 3 at .+ \\(unit SN1, customer 1\\) "
                      "stopped after the format, before IMEI "
                      "53029910476543f1 was written back\\. Is this "
                      "that handset\\? Yes gives it IMEI 53029910476543f1 back\\. No keeps IMEI "
                      "53029910476543f1 aside for good: no handset gets it "
                      "unless an engineer restores it\\.")))
      << one;
  const std::string several = run::pending_question(p, {p, p});
  EXPECT_NE(several.find("was written back; it is one of 2 IMEIs pending in this station. Is "
                         "this that handset? Yes gives it IMEI 53029910476543f1 back. No leaves "
                         "IMEI 53029910476543f1 pending for its own handset."),
            std::string::npos)
      << several;
  // A unit whose serial matched on another port: asked whether it moved.
  p.moved_to_port = 4;
  const std::string moved = run::pending_question(p, {p});
  EXPECT_TRUE(
      std::regex_match(moved, std::regex("Unit SN1 stopped on port 3 at .+ after the format, "
                                         "before IMEI 53029910476543f1 was written back; "
                                         "this handset, scanned as unit SN1, is on port 4\\. "
                                         "Is it that handset\\? Yes gives it IMEI "
                                         "53029910476543f1 back\\. No leaves IMEI "
                                         "53029910476543f1 pending and stops this run "
                                         "before the format\\.")))
      << moved;
  EXPECT_EQ(platform::recognise_operator_text(moved)->id, "question.pending_imei_moved");
}

TEST(OperatorText, an_english_line_is_told_back_as_its_id_and_arguments) {
  fs::PendingImei p;
  p.port = 4;
  p.imei = {1, 2, 3, 4, 5, 6, 7, 8};
  for (const char* serial : {"", "SN-7"}) {
    p.unit_serial = serial;
    for (const std::vector<fs::PendingImei>& candidates : {std::vector{p}, std::vector{p, p, p}}) {
      const OperatorText asked = run::pending_question_text(p, candidates);
      EXPECT_EQ(platform::recognise_operator_text(asked.english()), asked) << asked.english();
    }
  }

  // The most specific text wins: "records: %1" fits too.
  const OperatorText forwarded{"records.forwarded", {"2", "outbox"}};
  EXPECT_EQ(platform::recognise_operator_text(forwarded.english()), forwarded);
  const auto general = platform::recognise_operator_text("records: the disk is full");
  ASSERT_TRUE(general);
  EXPECT_EQ(general->id, "records.problem");

  // A part is never a line of its own: a unit status or a serial shown
  // alone that reads "customer 9" is the station's data.
  EXPECT_FALSE(platform::recognise_operator_text("customer 9"));
  EXPECT_EQ(platform::recognise_operator_text("customer 9", platform::kOperatorTextPart),
            (OperatorText{"part.customer", {"9"}}));

  // A line no text renders, and the text that is all argument, are not taken.
  EXPECT_FALSE(platform::recognise_operator_text("port 3: green: 12 s"));
  EXPECT_FALSE(platform::recognise_operator_text(""));
}
