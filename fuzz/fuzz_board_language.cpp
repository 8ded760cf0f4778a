// Any ?lang= value and any Accept-Language header, as a browser, a proxy or
// an attacker may send them: the board picks one of its languages, never
// reads outside them and never takes longer for a longer header.
#include <cstdint>
#include <string_view>

#include "board/board_language.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const board::Language& named = board::choose_language(text, "");
  const board::Language& preferred = board::choose_language(std::nullopt, text);
  for (const board::Language* chosen : {&named, &preferred}) {
    bool ours = false;
    for (const board::Language& l : board::languages()) ours = ours || &l == chosen;
    if (!ours) __builtin_trap();
  }
  return 0;
}
