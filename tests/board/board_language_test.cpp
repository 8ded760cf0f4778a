// The board page's language: from ?lang=, else Accept-Language, else English,
// and a header a browser, proxy or attacker may send never more than that.
#include "board/board_language.h"

#include <gtest/gtest.h>

#include <string>

#include "board/board_page.h"

namespace {

std::string_view chosen(std::optional<std::string_view> lang, std::string_view header = "") {
  return board::choose_language(lang, header).code;
}

std::string_view preferred(std::string_view header) {
  const board::Language* l = board::preferred_language(header);
  return l ? l->code : "none";
}

TEST(BoardLanguage, lang_names_a_language_in_either_spelling_and_anything_else_is_english) {
  for (const auto& [value, code] : std::initializer_list<std::pair<const char*, const char*>>{
           {"zh_CN", "zh_CN"},
           {"zh-CN", "zh_CN"},
           {"ZH-cn", "zh_CN"},
           {"zh-Hans", "zh_CN"},
           {"vi", "vi"},
           {"vi_VN", "vi"},
           {"es", "es"},
           {"es-MX", "es"},
           {"pt_BR", "pt_BR"},
           {"pt-BR", "pt_BR"},
           {"pt", "pt_BR"},
           {"en", "en"},
           {"en-GB", "en"},
           // Traditional Chinese is not Simplified; nor is a bare "zh" a choice.
           {"zh_TW", "en"},
           {"zh-Hant-CN", "en"},
           {"zh", "en"},
           {"fr", "en"},
           {"", "en"},
           {"*", "en"},
           {"vi-", "en"},
           {"-vi", "en"},
           {"vi--VN", "en"},
           {"vi VN", "en"},
           {"verylongtag", "en"},
           {"<script>", "en"}}) {
    EXPECT_EQ(chosen(value), code) << "?lang=" << value;
  }
  using namespace std::string_view_literals;
  EXPECT_EQ(chosen("vi\0x"sv), "en");
  // ?lang= decides even over a header that names another of ours.
  EXPECT_EQ(chosen("es", "vi"), "es");
  EXPECT_EQ(chosen("fr", "vi"), "en");
  EXPECT_EQ(chosen(std::nullopt, "vi"), "vi");
  EXPECT_EQ(chosen(std::nullopt, ""), "en");
  EXPECT_EQ(chosen(std::nullopt, "fr-FR, de;q=0.5"), "en");
}

TEST(BoardLanguage, accept_language_is_read_by_its_weights) {
  // Browsers as they come: the first of ours by weight.
  EXPECT_EQ(preferred("zh-CN,zh;q=0.9,en;q=0.8"), "zh_CN");
  EXPECT_EQ(preferred("zh-TW,zh;q=0.9,en-US;q=0.8,en;q=0.7"), "en");
  EXPECT_EQ(preferred("zh-TW,zh;q=0.9"), "none");
  EXPECT_EQ(preferred("vi-VN,vi;q=0.9,fr-FR;q=0.8"), "vi");
  EXPECT_EQ(preferred("pt-BR,pt;q=0.9"), "pt_BR");
  EXPECT_EQ(preferred("es-419,es;q=0.9"), "es");
  EXPECT_EQ(preferred("en-US,en;q=0.9,zh-CN;q=0.8"), "en");
  // Weights, not order, decide; equal weights keep the order; q=0 refuses.
  EXPECT_EQ(preferred("fr, es;q=0.5, vi;q=0.8"), "vi");
  EXPECT_EQ(preferred("es;q=0.5,vi;q=0.5"), "es");
  EXPECT_EQ(preferred("vi;q=0, es;q=0.1"), "es");
  EXPECT_EQ(preferred("vi;q=0.000"), "none");
  EXPECT_EQ(preferred("vi;q=1.000, es"), "vi");
  EXPECT_EQ(preferred("de, *;q=0.1"), "en");
  EXPECT_EQ(preferred("Vi ; Q=0.7 ,\tES;q=0.6"), "vi");
}

TEST(BoardLanguage, a_malformed_header_is_skipped_where_it_is_malformed_and_never_read_far) {
  // A weight that cannot be read neither prefers nor refuses: the element goes.
  for (const char* header : {"vi;q=2, es;q=0.5", "vi;q=0.5x, es;q=0.1", "vi;q=.5, es;q=0.1",
                             "vi;q=0.12345, es;q=0.1", "vi;q=-1, es;q=0.1", "vi;q=1.5, es;q=0.1",
                             "vi;q=, es;q=0.1", "vi;x=1, es;q=0.1", "vi;q=0.5;q=0.9, es;q=0.1"}) {
    EXPECT_EQ(preferred(header), "es") << header;
  }
  for (const char* header : {"", ",", ";;;", ",,,,;q=1", ";q=1", "q=1", "\xff\xfe", "vi\x01",
                             "v\xe1\xbb\x87t", "vi-", "==,==", " ; , ; "}) {
    EXPECT_EQ(preferred(header), "none") << header;
  }
  // Only the first elements count, however long the header: the one beyond
  // is not looked at, and a header of a megabyte is read as fast as a short one.
  std::string header;
  for (int i = 0; i < board::kMaxLanguageRanges; ++i) header += "fr;q=0.9,";
  EXPECT_EQ(preferred(header + "vi"), "none");
  header.erase(header.size() - 9);
  EXPECT_EQ(preferred(header + "vi"), "vi");
  const std::string huge = std::string(1 << 20, ',') + "vi";
  EXPECT_EQ(preferred(huge), "none");
  EXPECT_EQ(preferred(std::string(1 << 20, 'a')), "none");
  EXPECT_EQ(preferred(std::string(1 << 20, ';')), "none");
}

TEST(BoardLanguage, the_page_carries_its_language_and_its_texts) {
  for (const board::Language& language : board::languages()) {
    const std::string page = board::page_html(language);
    EXPECT_NE(page.find("<html lang=\"" + std::string(language.tag) + "\">"), std::string::npos)
        << language.code;
    // The language's texts, and English's for any it lacks.
    EXPECT_NE(page.find("<script type=\"application/json\" id=\"texts\">{"), std::string::npos)
        << language.code;
    EXPECT_NE(page.find("\"state.red\""), std::string::npos) << language.code;
    EXPECT_EQ(page.find("id=\"texts-en\"") != std::string::npos, language.code != "en");
  }
  EXPECT_NE(board::page_html(board::choose_language("zh_CN", "")).find("\"失败\""),
            std::string::npos);
  EXPECT_NE(board::page_html(board::choose_language("vi", "")).find("\"LỖI\""), std::string::npos);
}

}  // namespace
