// A text file as the tool reads it: with the runner's own line reader, which
// takes at most a fixed number of characters per read, so that a long line
// arrives in several parts, each of which the tool treats as a line.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace check {

struct FileLine {
  int number = 0;                  // the line in an editor, from 1
  int first_read = 0;              // the tool's count of the first part, from 1
  std::vector<std::string> parts;  // as the tool sees them, line end cut
};

// Every line of the file, each with the parts the reads make of it.
std::vector<FileLine> read_line_parts(std::FILE* file, std::size_t read_limit);

// The parts of a line that hold more than blanks (the first part always counts).
std::size_t meaningful_parts(const FileLine& line);

}  // namespace check
