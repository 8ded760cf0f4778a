// The decoded trace of a run: every frame out and every reply wait in,
// one line each, written to a file (or stderr) as the exchange happens:
//   "    152 ms  >  02 14 20 20 02  |  id 0x20 ti"
// Nothing is installed, and nothing is collected, unless a trace is started.
#pragma once

#include <cstdio>
#include <string>

namespace wire {

// Starts tracing into out (not closed here). Milliseconds count from now.
void start_frame_trace(std::FILE* out);
// A new run: milliseconds count from 0 again, after a line "# run N".
void restart_frame_trace(int run_number);
// Removes the trace; out is flushed.
void stop_frame_trace();

}  // namespace wire
