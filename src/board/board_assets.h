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

// The asset served at `path` ("/", "/board.js", ...), if there is one.
std::optional<Asset> find_asset(std::string_view path);

}  // namespace board
