// The board's page in its reader's language: the page as written, its
// <html lang> set, with the language's catalogue and English's (for a text a
// catalogue lacks) inside it as JSON data, which the page's script puts on
// the page as text.
#pragma once

#include <string>

#include "board/board_language.h"

namespace board {

std::string page_html(const Language& language);

}  // namespace board
