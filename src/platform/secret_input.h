// Reading a secret (a PIN) from a descriptor a script hands over, or from
// the terminal with echo off, into the caller's own buffer: no copy of it is
// left behind in this layer's memory, and nothing of it is ever printed.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

enum class SecretRead {
  kRead,     // a line, without its line end
  kTooLong,  // longer than the buffer: the whole line was read and dropped
  kEnd,      // the descriptor ended before anything was read
  kFailed,   // *why says
};

// Reads one line from descriptor `fd` (up to a line feed, a carriage return
// before it dropped) into buffer[0..capacity), byte by byte so that nothing
// after the line is taken: two secrets may come one line each from one pipe.
SecretRead read_secret_line(int fd, char* buffer, std::size_t capacity, std::size_t* length,
                            std::string* why);

// Whether standard input is a terminal a person types on.
bool input_is_terminal();

// Writes `prompt` to the terminal's standard error and reads one line from
// standard input with echo off, putting the echo back whatever happens
// (also when the read is interrupted).
SecretRead ask_secret_on_terminal(const std::string& prompt, char* buffer, std::size_t capacity,
                                  std::size_t* length, std::string* why);

}  // namespace platform
