// Characters that change how a text looks without being seen themselves:
// controls (C0, DEL, C1), format characters (Unicode category Cf: the
// bidirectional overrides and isolates, zero-width characters, the soft
// hyphen, ...), the line and paragraph separators, and bytes that are not
// UTF-8. A serial or an operator id holding one could show on a report, a
// panel or the board as another id ("SN\u202E21" reads "SN12"), so they are
// refused where identities are typed or scanned, and any a record already
// holds is written out where records are shown. One rule serves both.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace text {

struct HiddenCharacter {
  std::size_t offset = 0;  // in bytes, from the start of the text
  // "U+202E RIGHT-TO-LEFT OVERRIDE, a bidirectional control",
  // "U+0085, a control character", "the byte 0xE9, which is not UTF-8"
  std::string description;
};

// The first such character of `text`, or nullopt when it has none.
std::optional<HiddenCharacter> first_hidden_character(std::string_view text);

// `text` with every such character written out as \uXXXX (\UXXXXXXXX beyond
// U+FFFF) and every byte that is not UTF-8 as \xNN, so that it is seen and
// never acts. Any other text is returned as it is.
std::string shown_visibly(std::string_view text);

}  // namespace text
