// Whether a stream is a terminal that a person watches.
#pragma once

#include <cstdio>

namespace platform {

// True when `stream` writes to (or reads from) a terminal, not a file or a pipe.
bool is_terminal(std::FILE* stream);

}  // namespace platform
