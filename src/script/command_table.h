// The script language: twenty keywords, tried in a fixed order, each with the
// words it splits off, their length limits and the function that serves it.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace script {

class Runner;

// Status of a line that carries a word longer than its buffer allows.
constexpr int kStatusWordTooLong = 2;

struct Command {
  std::string_view keyword;
  // The function the runner calls for it, as the station's engineers know it.
  std::string_view function;
  // What words 2, 3, ... mean ("the PC file name"); "stw" and "str" leave it
  // empty, since their sub-command decides.
  std::vector<std::string_view> word_meanings;
  // How many words the line is split into (0: not split). Word 1 is the keyword.
  std::size_t split_words;
  // Longest text each passed word may hold, by word number (index 0 = word 1).
  std::array<std::size_t, 8> word_limits;
  // Words handed to the function after the line (word numbers, 2-based).
  std::vector<std::size_t> passed;
  // Calls the command with what it needs of the run (its link, its IMEI
  // guard): the line, the current handset directory, the words.
  int (*run)(Runner& runner, const std::string& line, std::string& directory,
             std::vector<std::string>& words);
};

// The table in the order the keywords are tried.
std::span<const Command> command_table();

// The first row whose keyword the line begins with (case-sensitive), or null.
const Command* find_command(std::string_view line);

}  // namespace script
