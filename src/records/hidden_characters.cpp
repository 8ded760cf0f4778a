#include "records/hidden_characters.h"

#include <unictype.h>
#include <uniname.h>
#include <unistr.h>

#include <cstdio>

namespace records {

namespace {

enum class Kind { kVisible, kControl, kBidirectional, kFormat, kSeparator };

// The bidirectional controls (all of them Cf): the marks, the embeddings and
// overrides, the isolates.
bool bidirectional(ucs4_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

Kind kind_of(ucs4_t c) {
  if (uc_is_general_category(c, UC_CATEGORY_Cc)) return Kind::kControl;
  if (bidirectional(c)) return Kind::kBidirectional;
  if (uc_is_general_category(c, UC_CATEGORY_Cf)) return Kind::kFormat;
  if (uc_is_general_category(c, UC_CATEGORY_Zl) || uc_is_general_category(c, UC_CATEGORY_Zp)) {
    return Kind::kSeparator;
  }
  return Kind::kVisible;
}

// One character of the text: its code point, or none for a byte that is
// not UTF-8 (a stray byte, an overlong form, a surrogate, a cut sequence).
struct Step {
  std::optional<ucs4_t> code;
  std::size_t length = 1;
};

bool plain_ascii(char c) {
  return c >= 0x20 && c < 0x7F;
}

Step step_at(std::string_view text, std::size_t i) {
  if (plain_ascii(text[i])) return {static_cast<ucs4_t>(text[i]), 1};
  ucs4_t c = 0;
  const int n =
      u8_mbtoucr(&c, reinterpret_cast<const std::uint8_t*>(text.data() + i), text.size() - i);
  if (n <= 0) return {};
  return {c, static_cast<std::size_t>(n)};
}

std::string code_text(ucs4_t c) {
  char text[16];
  std::snprintf(text, sizeof text, c > 0xFFFF ? "U+%05X" : "U+%04X", static_cast<unsigned>(c));
  return text;
}

std::string describe(ucs4_t c, Kind kind) {
  char buffer[UNINAME_MAX];
  const char* name = unicode_character_name(c, buffer);  // none for controls
  std::string text = code_text(c);
  if (name) text += std::string(" ") + name;
  switch (kind) {
    case Kind::kControl:
      return text + ", a control character";
    case Kind::kBidirectional:
      return text + ", a bidirectional control";
    case Kind::kFormat:
      return text + ", an invisible format character";
    case Kind::kSeparator:
      return text + ", a line break";
    case Kind::kVisible:
      break;
  }
  return text;
}

}  // namespace

std::optional<HiddenCharacter> first_hidden_character(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const Step s = step_at(text, i);
    if (!s.code) {
      char byte[48];
      std::snprintf(byte, sizeof byte, "the byte 0x%02X, which is not UTF-8",
                    static_cast<unsigned>(static_cast<unsigned char>(text[i])));
      return HiddenCharacter{i, byte};
    }
    if (const Kind kind = plain_ascii(text[i]) ? Kind::kVisible : kind_of(*s.code);
        kind != Kind::kVisible) {
      return HiddenCharacter{i, describe(*s.code, kind)};
    }
    i += s.length;
  }
  return std::nullopt;
}

std::string shown_visibly(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const Step s = step_at(text, i);
    char escaped[16];
    if (!s.code) {
      std::snprintf(escaped, sizeof escaped, "\\x%02X",
                    static_cast<unsigned>(static_cast<unsigned char>(text[i])));
      out += escaped;
    } else if (!plain_ascii(text[i]) && kind_of(*s.code) != Kind::kVisible) {
      std::snprintf(escaped, sizeof escaped, *s.code > 0xFFFF ? "\\U%08X" : "\\u%04X",
                    static_cast<unsigned>(*s.code));
      out += escaped;
    } else {
      out.append(text.substr(i, s.length));
    }
    i += s.length;
  }
  return out;
}

}  // namespace records
