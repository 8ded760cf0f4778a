#include "board/board_language.h"

#include <array>

namespace board {

namespace {

constexpr std::array<Language, 5> kLanguages{{
    {"en", "en"},
    {"zh_CN", "zh-CN"},
    {"vi", "vi"},
    {"es", "es"},
    {"pt_BR", "pt-BR"},
}};

const Language& language(std::string_view code) {
  for (const Language& l : kLanguages) {
    if (l.code == code) return l;
  }
  return kLanguages[0];
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool alnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool same(std::string_view a, std::string_view lower_b) {
  if (a.size() != lower_b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower_b[i]) return false;
  }
  return true;
}

// The next "-" or "_" separated part of `rest`, taken off it.
std::string_view next_part(std::string_view& rest) {
  const std::size_t end = rest.find_first_of("-_");
  const std::string_view part = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
  return part;
}

// A language tag as BCP 47 shapes it: parts of 1 to 8 letters or digits.
bool well_formed(std::string_view tag) {
  if (tag.empty()) return false;
  std::size_t run = 0;
  for (char c : tag) {
    if (c == '-' || c == '_') {
      if (run == 0) return false;
      run = 0;
    } else if (alnum(c) && ++run <= 8) {
      continue;
    } else {
      return false;
    }
  }
  return run > 0;
}

// Chinese in Simplified characters: named by script, else by a region that
// writes it. A bare "zh" is no choice between the two.
const Language* chinese(std::string_view rest) {
  while (!rest.empty()) {
    const std::string_view part = next_part(rest);
    if (same(part, "hans") || same(part, "cn") || same(part, "sg") || same(part, "my")) {
      return &language("zh_CN");
    }
    if (same(part, "hant") || same(part, "tw") || same(part, "hk") || same(part, "mo")) {
      return nullptr;
    }
  }
  return nullptr;
}

// A weight "q=0.8" (RFC 9110: 0 to 1, three decimals at most) in thousandths.
std::optional<int> weight(std::string_view text) {
  if (text.size() < 3 || lower(text[0]) != 'q' || text[1] != '=') return std::nullopt;
  text.remove_prefix(2);
  if (text[0] != '0' && text[0] != '1') return std::nullopt;
  int value = (text[0] - '0') * 1000;
  if (text.size() == 1) return value;
  if (text[1] != '.' || text.size() > 5) return std::nullopt;
  int scale = 100;
  for (char c : text.substr(2)) {
    if (c < '0' || c > '9') return std::nullopt;
    value += (c - '0') * scale;
    scale /= 10;
  }
  if (value > 1000) return std::nullopt;
  return value;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::span<const Language> languages() {
  return kLanguages;
}

const Language& english() {
  return kLanguages[0];
}

const Language* language_of_tag(std::string_view tag) {
  if (!well_formed(tag)) return nullptr;
  std::string_view rest = tag;
  const std::string_view primary = next_part(rest);
  if (same(primary, "en")) return &language("en");
  if (same(primary, "vi")) return &language("vi");
  if (same(primary, "es")) return &language("es");
  // Brazilian Portuguese is the one we have; a reader of Portugal's reads it.
  if (same(primary, "pt")) return &language("pt_BR");
  if (same(primary, "zh")) return chinese(rest);
  return nullptr;
}

const Language* preferred_language(std::string_view header) {
  const Language* best = nullptr;
  int best_weight = 0;
  for (int n = 0; n < kMaxLanguageRanges && !header.empty(); ++n) {
    const std::size_t comma = header.find(',');
    std::string_view element = header.substr(0, comma);
    header = comma == std::string_view::npos ? std::string_view{} : header.substr(comma + 1);

    const std::size_t semicolon = element.find(';');
    const std::string_view range = trimmed(element.substr(0, semicolon));
    int w = 1000;
    if (semicolon != std::string_view::npos) {
      const auto q = weight(trimmed(element.substr(semicolon + 1)));
      if (!q) continue;  // a weight we cannot read: neither preferred nor refused
      w = *q;
    }
    const Language* ours = range == "*" ? &english() : language_of_tag(range);
    if (ours && w > best_weight) {
      best = ours;
      best_weight = w;
    }
  }
  return best;
}

const Language& choose_language(std::optional<std::string_view> lang_parameter,
                                std::string_view accept_language) {
  if (lang_parameter) {
    const Language* named = language_of_tag(*lang_parameter);
    return named ? *named : english();
  }
  const Language* preferred = preferred_language(accept_language);
  return preferred ? *preferred : english();
}

}  // namespace board
