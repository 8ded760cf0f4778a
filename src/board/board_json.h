// The board's JSON: what /api/* answer and what the page is sent. Every text
// from a station goes through json_string, which also keeps "<" and ">" out
// of the output, so no run's text can close a script element or open a tag
// wherever the JSON ends up.
#pragma once

#include <string>
#include <vector>

#include "board/board_row.h"
#include "board/line_model.h"

namespace board {

// A JSON string literal, quotes included. Text that is not UTF-8 is read as
// Latin-1, as the records do with older station files; a character that
// hides or reorders text (a control, a bidirectional or other format
// character) is written out as text, "\u202E", so the page and a reader of
// the API see it and it never acts.
std::string json_string(const std::string& text);

// A reason (ours or a store's, which may span lines) on one line, its line
// breaks and tabs as blanks, to be shown in a banner or an error answer.
std::string one_line(std::string text);

// One card as /api/ports lists it. for_page adds what only the page shows.
std::string card_json(const PortCard& card, bool for_page);
// GET /api/ports
std::string ports_json(const LineView& view);
// The page's lists besides the cards: alarms, pending IMEIs, failing lines.
std::string lists_json(const LineView& view);
// GET /api/runs: the records without their logs, newest first.
std::string runs_json(const std::vector<BoardRow>& rows);
// {"error": reason}
std::string error_json(const std::string& reason);

}  // namespace board
