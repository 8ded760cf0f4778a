#include "platform/terminal.h"

#include <unistd.h>

namespace platform {

bool is_terminal(std::FILE* stream) {
  return stream && ::isatty(::fileno(stream)) == 1;
}

}  // namespace platform
