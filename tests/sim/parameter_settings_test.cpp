#include <gtest/gtest.h>

#include "sim/settings.h"

namespace {

bool set(sim::HandsetState& state, const std::string& key, const std::string& value) {
  std::string error;
  return sim::apply_setting(state, key, value, &error);
}

}  // namespace

TEST(ParameterSettings, register_digits_and_text_fill_the_parameter_store) {
  sim::HandsetState state;
  ASSERT_TRUE(set(state, "register", "0x28:0xABCD"));
  ASSERT_TRUE(set(state, "digits", "123456"));
  ASSERT_TRUE(set(state, "text", "LINE7"));
  EXPECT_EQ(state.parameters.registers[0x28], 0xABCD);
  EXPECT_EQ(state.parameters.registers[0x5B], 0x005B);  // the default stays
  EXPECT_EQ(state.parameters.digits[0], 1);
  EXPECT_EQ(state.parameters.digits[5], 6);
  EXPECT_EQ(state.parameters.text[4], '7');
  EXPECT_EQ(state.parameters.text[5], 0);
}

TEST(ParameterSettings, malformed_parameter_settings_are_refused) {
  sim::HandsetState state;
  for (const char* bad : {"0x28", "0x100:1", "0x28:0x10000", ":1", "0x28:"}) {
    EXPECT_FALSE(set(state, "register", bad)) << bad;
  }
  EXPECT_FALSE(set(state, "digits", "12a"));
  EXPECT_FALSE(set(state, "digits", std::string(31, '1')));
  EXPECT_FALSE(set(state, "text", std::string(21, 'A')));
}
