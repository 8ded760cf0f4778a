#include "board/board_assets.h"

#include <cstddef>

namespace board {

namespace assets {
// Made from src/board/assets/ at build time (cmake/embed_assets.cmake).
extern const char kIndexHtml[];
extern const std::size_t kIndexHtml_size;
extern const char kBoardCss[];
extern const std::size_t kBoardCss_size;
extern const char kBoardJs[];
extern const std::size_t kBoardJs_size;
}  // namespace assets

std::optional<Asset> find_asset(std::string_view path) {
  using namespace assets;
  if (path == "/" || path == "/index.html") {
    return Asset{"text/html; charset=utf-8", {kIndexHtml, kIndexHtml_size}};
  }
  if (path == "/board.css") return Asset{"text/css; charset=utf-8", {kBoardCss, kBoardCss_size}};
  if (path == "/board.js") {
    return Asset{"text/javascript; charset=utf-8", {kBoardJs, kBoardJs_size}};
  }
  return std::nullopt;
}

}  // namespace board
