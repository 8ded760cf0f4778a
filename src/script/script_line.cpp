#include "script/script_line.h"

#include <cctype>

namespace script {

std::optional<std::string> read_script_line(std::FILE* file, std::size_t limit) {
  std::string line;
  while (line.size() < limit) {
    int c = std::fgetc(file);
    // A read error ends the script without running the part read so far.
    if (c == EOF && std::ferror(file)) return std::nullopt;
    if (c == EOF) break;
    // Scripts from DOS editors end with Ctrl-Z; text mode always stopped there.
    if (c == kEndOfFileMark) {
      while (std::fgetc(file) != EOF) {
      }
      break;
    }
    if (c == '\r') {
      int next = std::fgetc(file);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        std::ungetc(next, file);
      }
    }
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  if (line.empty()) return std::nullopt;
  return line;
}

void cut_line_end(std::string& line) {
  if (auto nul = line.find('\0'); nul != std::string::npos) line.resize(nul);
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

std::vector<std::string> split_words(const std::string& line, std::size_t max_words) {
  std::vector<std::string> words;
  words.reserve(max_words);
  std::size_t i = 0;
  auto blank = [&](std::size_t k) { return std::isspace(static_cast<unsigned char>(line[k])); };
  while (words.size() < max_words) {
    while (i < line.size() && blank(i)) ++i;
    if (i == line.size()) break;
    std::size_t start = i;
    while (i < line.size() && !blank(i)) ++i;
    words.push_back(line.substr(start, i - start));
  }
  words.resize(max_words);
  return words;
}

}  // namespace script
