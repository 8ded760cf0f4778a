#include "text/station_text.h"

#include <cstdint>

#include "text/hidden_characters.h"

namespace text {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no NUL.
bool valid_utf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<std::uint8_t>(text[i]);
    if (c == 0) return false;
    if (c < 0x80) {
      ++i;
      continue;
    }
    int length = 0;
    std::uint32_t code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2, code = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3, code = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4, code = c & 0x07u;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(length) > text.size()) return false;
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0u) != 0x80u) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (length == 4 && (code < 0x10000 || code > 0x10FFFF))) {
      return false;
    }
    i += static_cast<std::size_t>(length);
  }
  return true;
}

void convert(std::string& text) {
  if (valid_utf8(text)) return;
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char ch : text) {
    const auto c = static_cast<std::uint8_t>(ch);
    if (c == 0) {
      out += kReplacement;
    } else if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  text = std::move(out);
}

}  // namespace

std::string utf8_text(const std::string& text) {
  std::string out = text;
  convert(out);
  return out;
}

std::string shown_station_text(const std::string& text) {
  return shown_visibly(utf8_text(text));
}

}  // namespace text
