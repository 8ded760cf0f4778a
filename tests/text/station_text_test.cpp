#include "text/station_text.h"

#include <gtest/gtest.h>

namespace {

// Latin-1 and a NUL, as a record keeps them: tests/records/sqlite_store_test.
TEST(StationText, overlong_forms_and_surrogates_are_not_utf8_either) {
  EXPECT_EQ(text::utf8_text("\xC0\xAF"), "\xC3\x80\xC2\xAF");
  EXPECT_EQ(text::utf8_text("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");
  EXPECT_EQ(text::utf8_text("\xF0\x9F\x93\xB1"), "\xF0\x9F\x93\xB1");
}

}  // namespace
