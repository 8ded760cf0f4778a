#include "text/hidden_characters.h"

#include <cstdint>
#include <cstdio>

#include "text/unistring_api.h"

namespace text {

namespace {

enum class Kind { kVisible, kControl, kBidirectional, kFormat, kSeparator };

// The bidirectional controls (all of them Cf): the marks, the embeddings and
// overrides, the isolates.
bool bidirectional(ucs4_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

bool plain_ascii(char c) {
  return c >= 0x20 && c < 0x7F;
}

// `u` is needed beyond ASCII only (it is loaded whenever a text goes beyond).
Kind kind_of(const LibUnistring* u, ucs4_t c) {
  if (c < 0x20 || c == 0x7F) return Kind::kControl;
  if (c < 0x7F) return Kind::kVisible;
  if (u->uc_is_general_category_withtable(c, UC_CATEGORY_MASK_Cc)) return Kind::kControl;
  if (bidirectional(c)) return Kind::kBidirectional;
  if (u->uc_is_general_category_withtable(c, UC_CATEGORY_MASK_Cf)) return Kind::kFormat;
  if (u->uc_is_general_category_withtable(c, UC_CATEGORY_MASK_Zl | UC_CATEGORY_MASK_Zp)) {
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

Step step_at(const LibUnistring* u, std::string_view text, std::size_t i) {
  const auto byte = static_cast<unsigned char>(text[i]);
  if (byte < 0x80) return {byte, 1};
  ucs4_t c = 0;
  const int n =
      u->u8_mbtoucr(&c, reinterpret_cast<const std::uint8_t*>(text.data() + i), text.size() - i);
  if (n <= 0) return {};
  return {c, static_cast<std::size_t>(n)};
}

std::string code_text(ucs4_t c) {
  char text[16];
  std::snprintf(text, sizeof text, c > 0xFFFF ? "U+%05X" : "U+%04X", static_cast<unsigned>(c));
  return text;
}

std::string describe(const LibUnistring* u, ucs4_t c, Kind kind) {
  std::string text = code_text(c);
  char buffer[UNINAME_MAX];
  // Controls have no name; neither has anything when ASCII alone was read.
  if (const char* name = u ? u->unicode_character_name(c, buffer) : nullptr) {
    text += std::string(" ") + name;
  }
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

bool all_ascii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::optional<HiddenCharacter> first_hidden_character(std::string_view text) {
  const LibUnistring* u = nullptr;
  if (!all_ascii(text)) {
    std::string error;
    u = libunistring(&error);
    // Unable to tell a harmless letter from an override: refused, saying why.
    if (!u) return HiddenCharacter{0, "characters beyond ASCII, which cannot be judged: " + error};
  }
  for (std::size_t i = 0; i < text.size();) {
    if (plain_ascii(text[i])) {
      ++i;
      continue;
    }
    const Step s = step_at(u, text, i);
    if (!s.code) {
      char byte[48];
      std::snprintf(byte, sizeof byte, "the byte 0x%02X, which is not UTF-8",
                    static_cast<unsigned>(static_cast<unsigned char>(text[i])));
      return HiddenCharacter{i, byte};
    }
    if (const Kind kind = kind_of(u, *s.code); kind != Kind::kVisible)
      return HiddenCharacter{i, describe(u, *s.code, kind)};
    i += s.length;
  }
  return std::nullopt;
}

std::string shown_visibly(std::string_view text) {
  const LibUnistring* u = nullptr;
  if (!all_ascii(text)) {
    std::string ignored;
    u = libunistring(&ignored);
  }
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (plain_ascii(text[i])) {
      out += text[i++];
      continue;
    }
    const auto byte = static_cast<unsigned char>(text[i]);
    // Without the library, every byte beyond ASCII is written out.
    const Step s = byte < 0x80 || u ? step_at(u, text, i) : Step{};
    char escaped[16];
    if (!s.code) {
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(byte));
      out += escaped;
    } else if (kind_of(u, *s.code) != Kind::kVisible) {
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

}  // namespace text
