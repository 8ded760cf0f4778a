#include "station/customer_definition.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

using testing_support::TempDir;

namespace {

std::string found(int customer, int sub_number) {
  std::string script;
  return station::find_customer(customer, sub_number, &script) == station::CustomerLookup::kFound ? script
                                                                                        : "<none>";
}

}  // namespace

class CustomerDefinition : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST_F(CustomerDefinition, qm_line_names_the_customer_with_sub_numbers) {
  TempDir::write("custdefine", "7 pyrel.tms\n12 dov.tms\n5 qm\n9 qm\n");
  EXPECT_EQ(station::read_index_qm(), 5);
  TempDir::write("custdefine", "5.9 qm\n");
  EXPECT_EQ(station::read_index_qm(), 5);  // cut toward zero
  // A key beyond any customer number names none (and is no overflow).
  for (const char* huge : {"1e300 qm\n", "-9e18 qm\n"}) {
    TempDir::write("custdefine", huge);
    EXPECT_EQ(station::read_index_qm(), 0) << huge;
  }
  TempDir::write("custdefine", "5 QM\n5 qmx\n");
  EXPECT_EQ(station::read_index_qm(), 0);
}

TEST_F(CustomerDefinition, only_the_first_forty_reads_count) {
  std::string lines;
  for (int i = 0; i < 40; ++i) lines += "1 a.tms\n";
  TempDir::write("custdefine", lines + "5 qm\n41 late.tms\n");
  EXPECT_EQ(station::read_index_qm(), 0);
  EXPECT_EQ(found(41, 0), "<none>");
  // A line longer than a read counts as two.
  TempDir::write("custdefine", "1 a_name_far_too_long.tms\n2 b.tms\n");
  EXPECT_EQ(found(2, 0), "b.tms");
}

TEST_F(CustomerDefinition, keys_match_as_decimal_values) {
  TempDir::write("custdefine",
                 "12.3 dov3.tms\r\n12 dov.tms\r\n1.7 one7.tms\n0.3 zero3.tms\nabc nothing.tms\n"
                 "12.0 second.tms\n5 qm\n8\n");
  EXPECT_EQ(found(12, 3), "dov3.tms");
  EXPECT_EQ(found(12, 0), "dov.tms");  // the first of 12 and 12.0
  EXPECT_EQ(found(1, 7), "one7.tms");
  EXPECT_EQ(found(0, 3), "zero3.tms");
  EXPECT_EQ(found(0, 0), "nothing.tms");  // a key that is no number reads as 0
  EXPECT_EQ(found(5, 0), "qm");           // the qm line is searched like any other
  EXPECT_EQ(found(8, 0), "<none>");       // a key without a name names nothing
  EXPECT_EQ(found(12, 4), "<none>");
}

TEST_F(CustomerDefinition, missing_file_and_ma_no_text) {
  EXPECT_EQ(station::read_index_qm(), std::nullopt);
  EXPECT_EQ(station::find_customer(1, 0, nullptr), station::CustomerLookup::kNoFile);

  EXPECT_EQ(station::customer_folder("dov.tms"), "dov");
  EXPECT_EQ(station::customer_folder("qm"), "qm");
  EXPECT_EQ(station::customer_folder("a.b.tms"), "a");
  std::filesystem::create_directory("dov");
  TempDir::write("dov/MA_NO", "ORD4711-0417-extra\n");
  EXPECT_EQ(station::read_ma_no("dov.tms"), "ORD4711-04");
  TempDir::write("dov/MA_NO", "A1\r\n");
  EXPECT_EQ(station::read_ma_no("dov.tms"), "A1");
  EXPECT_EQ(station::read_ma_no("pyrel.tms"), "");
}
