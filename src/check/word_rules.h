// What each keyword does with the words of its line: how many it uses and
// what they mean, the function the runner calls, and the number forms.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace check {

struct WordUse {
  std::size_t count = 1;           // words used, the keyword included
  std::vector<std::string> names;  // what words 2, 3, ... mean
  bool unserved = false;           // "stw"/"str" with a sub-command the run refuses
  std::string unserved_text;
};

// words: the whole line split at blanks (words[0] is the first word).
WordUse words_used(const std::string& keyword, const std::vector<std::string>& words);

// The function the runner calls for a keyword ("fwr": "writefile").
std::string_view function_name(const std::string& keyword);

// A decimal number and nothing else: sign, digits, point, exponent.
bool is_decimal_number(const std::string& text);

}  // namespace check
