#include "station/ui_language.h"

#include <iterator>

namespace station {

namespace {

constexpr const char* kLanguages[] = {"en", "zh_CN", "vi", "es", "pt_BR"};

}  // namespace

std::span<const char* const> ui_languages() {
  return {std::begin(kLanguages), std::end(kLanguages)};
}

std::string ui_language_list() {
  std::string list;
  for (const char* language : kLanguages)
    list += (list.empty() ? "" : ", ") + std::string(language);
  return list;
}

std::string ui_language_of(std::string_view name) {
  // "ll_CC.codeset@modifier": the codeset and modifier say nothing of the language.
  name = name.substr(0, name.find_first_of(".@"));
  const std::string_view language = name.substr(0, name.find_first_of("_-"));
  const std::string_view country =
      language.size() < name.size() ? name.substr(language.size() + 1) : std::string_view{};
  if (name == "C" || name == "POSIX" || language == "en") return "en";
  if (language == "zh") {
    // Simplified Chinese is written in mainland China and Singapore.
    return country == "CN" || country == "SG" || country == "Hans" ? "zh_CN" : "";
  }
  if (language == "vi") return "vi";
  if (language == "es") return "es";
  if (language == "pt") return country == "BR" ? "pt_BR" : "";
  return "";
}

std::string choose_ui_language(std::string_view setting, std::string_view lc_all,
                               std::string_view lc_messages, std::string_view lang) {
  for (const char* known : kLanguages) {
    if (setting == known) return known;
  }
  // The C library's order: the first variable that is set decides.
  for (std::string_view locale : {lc_all, lc_messages, lang}) {
    if (locale.empty()) continue;
    const std::string chosen = ui_language_of(locale);
    return chosen.empty() ? "en" : chosen;
  }
  return "en";
}

}  // namespace station
