#include "board/board_page.h"

#include <string_view>

#include "board/board_assets.h"

namespace board {

namespace {

constexpr std::string_view kHtmlTag = "<html lang=\"en\">";
constexpr std::string_view kTextsPlace = "<script type=\"application/json\" id=\"texts\"></script>";

// A catalogue inside a script element: "<" only ever stands in a JSON string,
// where \u003c means the same, and it can then never close the element.
std::string data_block(std::string_view id, std::string_view json) {
  std::string out = "<script type=\"application/json\" id=\"";
  out += id;
  out += "\">";
  for (char c : json) {
    if (c == '<') {
      out += "\\u003c";
    } else {
      out += c;
    }
  }
  out += "</script>";
  return out;
}

void replace(std::string& text, std::string_view what, const std::string& with) {
  const std::size_t at = text.find(what);
  if (at != std::string::npos) text.replace(at, what.size(), with);
}

}  // namespace

std::string page_html(const Language& language) {
  std::string page(page_template());
  replace(page, kHtmlTag, "<html lang=\"" + std::string(language.tag) + "\">");
  std::string texts = data_block("texts", texts_of(language.code));
  if (language.code != english().code) texts += "\n" + data_block("texts-en", texts_of("en"));
  replace(page, kTextsPlace, texts);
  return page;
}

}  // namespace board
