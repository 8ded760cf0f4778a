#include "platform/secret_input.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace platform {

SecretRead read_secret_line(int fd, char* buffer, std::size_t capacity, std::size_t* length,
                            std::string* why) {
  *length = 0;
  if (fd < 0) {
    *why = "descriptor " + std::to_string(fd) + " is not a descriptor";
    return SecretRead::kFailed;
  }
  bool too_long = false;
  bool any = false;
  std::size_t kept = 0;
  for (;;) {
    char byte = 0;
    const ssize_t got = ::read(fd, &byte, 1);
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      explicit_bzero(buffer, capacity);
      *why = "cannot read descriptor " + std::to_string(fd) + ": " +
             (error == EBADF ? std::string("it is not open") : std::strerror(error));
      return SecretRead::kFailed;
    }
    if (got == 0) break;
    any = true;
    if (byte == '\n') break;
    if (kept < capacity) {
      buffer[kept++] = byte;
    } else {
      too_long = true;
    }
    byte = 0;
  }
  if (kept > 0 && buffer[kept - 1] == '\r') buffer[--kept] = '\0';
  if (too_long) {
    explicit_bzero(buffer, capacity);
    return SecretRead::kTooLong;
  }
  if (!any) return SecretRead::kEnd;
  *length = kept;
  return SecretRead::kRead;
}

bool input_is_terminal() {
  return ::isatty(STDIN_FILENO) == 1;
}

SecretRead ask_secret_on_terminal(const std::string& prompt, char* buffer, std::size_t capacity,
                                  std::size_t* length, std::string* why) {
  *length = 0;
  termios before{};
  if (::tcgetattr(STDIN_FILENO, &before) != 0) {
    *why = "standard input is not a terminal";
    return SecretRead::kFailed;
  }
  termios quiet = before;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  quiet.c_lflag |= ECHONL;  // the Enter still ends the line on the screen
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0) {
    *why = std::string("cannot turn the terminal's echo off: ") + std::strerror(errno);
    return SecretRead::kFailed;
  }
  const SecretRead read = read_secret_line(STDIN_FILENO, buffer, capacity, length, why);
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
  return read;
}

}  // namespace platform
