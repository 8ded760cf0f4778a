#include "commands/parameter_words.h"

#include <gtest/gtest.h>

using namespace commands;

TEST(ParameterWords, sub_command_number_is_arithmetic_on_the_first_two_character_codes) {
  EXPECT_EQ(sub_command_number("0"), -48);  // the terminator stands in for c1
  EXPECT_EQ(sub_command_number("00"), 0);
  EXPECT_EQ(sub_command_number("34"), 34);
  EXPECT_EQ(sub_command_number("350"), 35);
  EXPECT_EQ(sub_command_number("4*"), 34);
  EXPECT_EQ(sub_command_number(""), -16);  // -528 as a signed byte: served by no command
  // A character above 127 gives the same number whether char is signed or not.
  EXPECT_EQ(sub_command_number(std::string{'\xE9', '1'}), sub_command_number("i1"));
}

TEST(ParameterWords, register_address_is_row_times_32_plus_column_cut_to_8_bits) {
  EXPECT_EQ(register_address("2", "27"), 0x5B);
  EXPECT_EQ(register_address("0", "40"), 0x28);
  EXPECT_EQ(register_address("8", "0"), 0x00);
  EXPECT_EQ(register_address("-1", "0"), 0xE0);
  EXPECT_EQ(register_address("abc", "5"), 0x05);
  EXPECT_EQ(register_address("99999999999", "0"), 0xE0);  // clamped, then wrapped without overflow
  EXPECT_EQ(number_byte("258"), 0x02);
  EXPECT_EQ(number_byte("-1"), 0xFF);
}

TEST(ParameterWords, register_value_reads_four_hex_digits_after_two_ignored_characters) {
  EXPECT_EQ(register_value("0x1234"), 0x1234);
  EXPECT_EQ(register_value("0xabCD"), 0xABCD);
  EXPECT_EQ(register_value("zz00FF"), 0x00FF);
  EXPECT_EQ(register_value("0x12345678"), 0x1234);
  for (const char* bad : {"0x12G4", "0x123", "0x", "", "0x-123", "0x 123", "0x12g4"}) {
    EXPECT_FALSE(register_value(bad)) << bad;
  }
}
