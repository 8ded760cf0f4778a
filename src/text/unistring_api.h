// GNU libunistring, Unicode's tables (general categories, character names),
// loaded the first time a text holds a character beyond ASCII: mapped into
// every run it would add a quarter of a megabyte to each port's process,
// which serials and operator ids in plain ASCII never need.
#pragma once

#include <unictype.h>
#include <uniname.h>
#include <unistr.h>

#include <string>

namespace text {

struct LibUnistring {
  decltype(&::u8_mbtoucr) u8_mbtoucr = nullptr;
  decltype(&::uc_is_general_category_withtable) uc_is_general_category_withtable = nullptr;
  decltype(&::unicode_character_name) unicode_character_name = nullptr;
};

// Loads libunistring on first use; nullptr with *error (which package brings
// it) when it cannot be loaded. A failed load is tried again at the next call.
const LibUnistring* libunistring(std::string* error);

}  // namespace text
