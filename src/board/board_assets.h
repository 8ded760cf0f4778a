// The page's files, built into the program: a factory floor's board has no
// network beyond itself, and the page must not depend on files beside it.
#pragma once

#include <optional>
#include <string_view>

namespace board {

struct Asset {
  std::string_view content_type;
  std::string_view body;
};

// The asset served at `path` ("/board.js", "/board.css"), if there is one.
// The page itself is made for its reader's language (board_page.h).
std::optional<Asset> find_asset(std::string_view path);

// The page as written, in English, with the places board_page.h fills.
std::string_view page_template();

// The catalogue of a language's texts (a JSON object, key to text), by its
// code ("zh_CN"); empty for a code without one.
std::string_view texts_of(std::string_view code);

}  // namespace board
