// Reading a script file line by line and cutting a line into words, with the
// limits of the runner's fixed buffers.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace script {

// At most this many characters per read, the line feed included.
constexpr std::size_t kLineReadLimit = 39;
// The DOS end-of-file mark (Ctrl-Z): nothing after it is read.
constexpr int kEndOfFileMark = 0x1A;

// Reads the next part of a line: up to and including a line feed, at most
// `limit` characters. A carriage return before a line feed is dropped first,
// and Ctrl-Z ends the file, as text mode would. Returns nothing at the end of
// the file or on a read error.
std::optional<std::string> read_script_line(std::FILE* file, std::size_t limit = kLineReadLimit);

// Removes the line end (a line feed, and a carriage return before it) and
// anything after a NUL byte, which ends the text as the commands see it.
void cut_line_end(std::string& line);

// Splits at white space into at most max_words words; missing words are
// empty texts, so the result always holds max_words entries.
std::vector<std::string> split_words(const std::string& line, std::size_t max_words);

}  // namespace script
