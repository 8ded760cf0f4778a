// The file that "ffsload run --trace=FILE" writes its decoded trace to.
#pragma once

#include <cstdio>
#include <string>

namespace cli {

// Opens `path` for a run's trace, emptied. Refused (nullptr and *error) when
// it is not a plain file (a FIFO, a device, a folder, a symbolic link: opening
// it never blocks and never follows a link), when it is the script, or when it
// is a PC file the script names (any word of its lines, also with the port's
// suffix): a trace must never overwrite what the run reads or writes.
std::FILE* open_trace_file(const std::string& path, const std::string& script, int port,
                           std::string* error);

}  // namespace cli
