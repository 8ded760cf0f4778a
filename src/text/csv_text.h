// A text field of the CSV the tool writes, as a spreadsheet must take it: as
// text. A field that begins with "=", "+", "-", "@", a tab or a carriage
// return is read as a formula by a spreadsheet (an operator id
// "=HYPERLINK(...)" would become a link that sends the sheet away); a
// leading "'" makes it text, which the spreadsheet shows without the "'".
// Then RFC 4180: a field with a comma, a quote or a line break is quoted.
//
// Numbers the tool counts are written as they are, never through here: a
// negative one stays a number. A text field that is a plain negative number
// ("-12", "-0.5") is left as it is too: a spreadsheet reads it as that
// number, and a number holds no formula.
#pragma once

#include <string>
#include <string_view>

namespace text {

std::string csv_text_field(std::string_view text);

}  // namespace text
