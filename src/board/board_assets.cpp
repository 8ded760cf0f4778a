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
extern const char kTextsEn[];
extern const std::size_t kTextsEn_size;
extern const char kTextsZhCN[];
extern const std::size_t kTextsZhCN_size;
extern const char kTextsVi[];
extern const std::size_t kTextsVi_size;
extern const char kTextsEs[];
extern const std::size_t kTextsEs_size;
extern const char kTextsPtBR[];
extern const std::size_t kTextsPtBR_size;
}  // namespace assets

std::optional<Asset> find_asset(std::string_view path) {
  using namespace assets;
  if (path == "/board.css") return Asset{"text/css; charset=utf-8", {kBoardCss, kBoardCss_size}};
  if (path == "/board.js") {
    return Asset{"text/javascript; charset=utf-8", {kBoardJs, kBoardJs_size}};
  }
  return std::nullopt;
}

std::string_view page_template() {
  return {assets::kIndexHtml, assets::kIndexHtml_size};
}

std::string_view texts_of(std::string_view code) {
  using namespace assets;
  if (code == "en") return {kTextsEn, kTextsEn_size};
  if (code == "zh_CN") return {kTextsZhCN, kTextsZhCN_size};
  if (code == "vi") return {kTextsVi, kTextsVi_size};
  if (code == "es") return {kTextsEs, kTextsEs_size};
  if (code == "pt_BR") return {kTextsPtBR, kTextsPtBR_size};
  return {};
}

}  // namespace board
