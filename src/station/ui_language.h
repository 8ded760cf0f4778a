// The language of the operator's windows: the station's "language" setting,
// else the desktop's locale, else English (the texts' source). A language
// without translations is English too, never a window of empty labels.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace station {

// The languages the windows are translated into, English first.
std::span<const char* const> ui_languages();
// "en, zh_CN, vi, es, pt_BR"
std::string ui_language_list();

// The translated language a setting or locale names: "zh_CN.UTF-8" and
// "zh_CN" give "zh_CN", "es_MX.UTF-8" gives "es", "vi_VN" gives "vi", "pt_BR"
// gives "pt_BR", "C", "POSIX" and "en_US" give "en"; "" when it names none
// of them (such as "zh_TW": traditional, not simplified, Chinese).
std::string ui_language_of(std::string_view name);

// The language of the windows: `setting` when it is one of ui_languages(),
// else the first locale variable that is set (LC_ALL, LC_MESSAGES, LANG, as
// the C library reads them) if it names one, else "en".
std::string choose_ui_language(std::string_view setting, std::string_view lc_all,
                               std::string_view lc_messages, std::string_view lang);

}  // namespace station
