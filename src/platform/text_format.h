// printf-style formatting into a std::string, for the log lines that keep
// their printf formats as they stand.
#pragma once

#include <string>

namespace platform {

[[gnu::format(printf, 1, 2)]] std::string strprintf(const char* format, ...);

}  // namespace platform
