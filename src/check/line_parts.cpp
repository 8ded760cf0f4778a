#include "check/line_parts.h"

#include "script/script_line.h"

namespace check {

std::vector<FileLine> read_line_parts(std::FILE* file, std::size_t read_limit) {
  std::vector<FileLine> lines;
  FileLine current;
  int reads = 0;
  bool line_open = false;
  while (auto part = script::read_script_line(file, read_limit)) {
    ++reads;
    if (!line_open) {
      current = FileLine{};
      current.number = static_cast<int>(lines.size()) + 1;
      current.first_read = reads;
      line_open = true;
    }
    const bool ends_line = part->back() == '\n';
    script::cut_line_end(*part);
    current.parts.push_back(*part);
    if (ends_line) {
      lines.push_back(current);
      line_open = false;
    }
  }
  if (line_open) lines.push_back(current);
  return lines;
}

std::size_t meaningful_parts(const FileLine& line) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < line.parts.size(); ++i) {
    if (i == 0 || line.parts[i].find_first_not_of(" \t") != std::string::npos) ++n;
  }
  return n;
}

}  // namespace check
