// The windows' language: the setting, else the desktop's locale, else
// English; and what "ffsload check" says of a language it does not know.
#include "station/ui_language.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "check/findings.h"
#include "check/settings_check.h"
#include "station/station_settings.h"
#include "support/temp_dir.h"

using testing_support::TempDir;

TEST(UiLanguage, locales_name_a_translated_language_or_none) {
  EXPECT_EQ(station::ui_language_of("zh_CN.UTF-8"), "zh_CN");
  EXPECT_EQ(station::ui_language_of("zh_CN"), "zh_CN");
  EXPECT_EQ(station::ui_language_of("zh-Hans"), "zh_CN");
  EXPECT_EQ(station::ui_language_of("vi_VN"), "vi");
  EXPECT_EQ(station::ui_language_of("vi"), "vi");
  EXPECT_EQ(station::ui_language_of("es_MX.UTF-8"), "es");
  EXPECT_EQ(station::ui_language_of("es"), "es");
  EXPECT_EQ(station::ui_language_of("pt_BR"), "pt_BR");
  EXPECT_EQ(station::ui_language_of("pt_BR.UTF-8@euro"), "pt_BR");
  EXPECT_EQ(station::ui_language_of("en_US.UTF-8"), "en");
  EXPECT_EQ(station::ui_language_of("C.UTF-8"), "en");
  EXPECT_EQ(station::ui_language_of("POSIX"), "en");
  // Traditional Chinese is not the simplified translation; Portugal's
  // Portuguese is not Brazil's; others have none.
  EXPECT_EQ(station::ui_language_of("zh_TW.UTF-8"), "");
  EXPECT_EQ(station::ui_language_of("zh"), "");
  EXPECT_EQ(station::ui_language_of("pt_PT"), "");
  EXPECT_EQ(station::ui_language_of("fr_FR.UTF-8"), "");
  EXPECT_EQ(station::ui_language_of(""), "");
}

TEST(UiLanguage, the_setting_wins_then_the_first_locale_variable_set_then_english) {
  EXPECT_EQ(station::choose_ui_language("vi", "zh_CN.UTF-8", "", "es_MX.UTF-8"), "vi");
  EXPECT_EQ(station::choose_ui_language("en", "", "", "zh_CN.UTF-8"), "en");
  // No setting: LC_ALL before LC_MESSAGES before LANG, as the C library reads them.
  EXPECT_EQ(station::choose_ui_language("", "pt_BR.UTF-8", "vi_VN", "es_ES"), "pt_BR");
  EXPECT_EQ(station::choose_ui_language("", "", "vi_VN", "es_ES"), "vi");
  EXPECT_EQ(station::choose_ui_language("", "", "", "zh_CN.UTF-8"), "zh_CN");
  // The variable that decides names no translation: English, not the next one.
  EXPECT_EQ(station::choose_ui_language("", "fr_FR.UTF-8", "", "zh_CN.UTF-8"), "en");
  EXPECT_EQ(station::choose_ui_language("", "", "", "zh_TW.UTF-8"), "en");
  EXPECT_EQ(station::choose_ui_language("", "", "", ""), "en");
  // A setting that is none of ours (the settings reader reports it) is left
  // to the desktop.
  EXPECT_EQ(station::choose_ui_language("fr", "", "", "es_MX.UTF-8"), "es");
}

TEST(UiLanguage, the_setting_is_read_and_an_unknown_one_is_a_warning_that_stops_nothing) {
  TempDir dir;
  TempDir::write("ffsload.conf", "language = zh_CN\n");
  EXPECT_EQ(station::read_station_settings().settings.language, "zh_CN");

  TempDir::write("ffsload.conf", "language = zh_CN\nlanguage = zh_TW\n");
  const auto file = station::read_station_settings();
  EXPECT_EQ(file.settings.language, "");  // the later line wins, and names none
  ASSERT_EQ(file.problems.size(), 1u);
  EXPECT_EQ(file.problems[0].line, 2);
  EXPECT_EQ(file.refusal(), "");  // the panels still open, in English

  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  check::Report report(out);
  check::check_station_settings(report);
  std::fclose(out);
  const std::string text(buffer, size);
  std::free(buffer);
  EXPECT_EQ(report.errors(), 0);
  EXPECT_EQ(report.warnings(), 1);
  EXPECT_NE(text.find("ffsload.conf:2: warning: language: \"zh_TW\" is not one of en, zh_CN, vi, "
                      "es, pt_BR"),
            std::string::npos)
      << text;
}
