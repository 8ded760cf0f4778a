// Text from station files as the records keep it. Older station PCs wrote
// their files ("MA_NO", scripts, custdefine) in Latin-1, and the records hold
// UTF-8: a PostgreSQL database refuses anything else.
#pragma once

#include <string>

namespace text {

// Valid UTF-8 is returned as it is; anything else is read as Latin-1, one
// character a byte. A NUL, which no records text can hold, becomes U+FFFD.
std::string utf8_text(const std::string& text);

// A station's text as the board and the report show it: read as utf8_text
// reads it, with every character that hides or reorders text written out
// ("\u202E", text/hidden_characters), so that a stored serial or operator
// id shows as what it is, never as another.
std::string shown_station_text(const std::string& text);

}  // namespace text
