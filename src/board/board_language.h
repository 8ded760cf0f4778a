// The language the board's page is shown in: the page's ?lang= when it is
// given, else the browser's Accept-Language, else English. Only the page is
// translated; the JSON API's names and values stay English for the line's
// other systems.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace board {

struct Language {
  std::string_view code;  // "zh_CN": names its catalogue, as the GUI's languages are named
  std::string_view tag;   // "zh-CN": the page's <html lang> and its Content-Language
};

// Every language of the page, English (the source of the texts) first.
std::span<const Language> languages();
const Language& english();

// Ours that a language range or tag names, if any: "vi", "vi-VN" and "vi_VN"
// name Vietnamese; "zh-CN", "zh-SG" and "zh-Hans" Simplified Chinese, while
// "zh-TW", "zh-Hant" and a bare "zh" (which a Taiwanese browser sends too)
// name none; "pt" and "pt-*" Brazilian Portuguese; "es-*" Spanish.
// Case-insensitive, "-" or "_" between the parts.
const Language* language_of_tag(std::string_view tag);

// The language an Accept-Language header prefers among ours, by its
// q-values (the earlier of equal ones; q=0 refuses; "*" is English); none
// when it names none of ours. A malformed element is skipped, and only the
// first kMaxLanguageRanges elements count, so a long header costs no more
// than a short one.
constexpr int kMaxLanguageRanges = 32;
const Language* preferred_language(std::string_view accept_language);

// The page's language: ?lang= decides when given (English when it names
// none of ours), else Accept-Language, else English.
const Language& choose_language(std::optional<std::string_view> lang_parameter,
                                std::string_view accept_language);

}  // namespace board
