// The decoded trace of a run: every frame out and every reply wait in,
// one line each, written to a file (or stderr) as the exchange happens:
//   "    152 ms  >  02 14 20 20 02  |  id 0x20 ti"
// Nothing is collected unless a run's link is given the trace's sink.
#pragma once

#include <cstdio>
#include <memory>

#include "link/link.h"

namespace wire {

class FrameTrace {
 public:
  // Traces into out (not closed here). Milliseconds count from now.
  explicit FrameTrace(std::FILE* out);
  // out is flushed.
  ~FrameTrace();
  FrameTrace(const FrameTrace&) = delete;
  FrameTrace& operator=(const FrameTrace&) = delete;

  // A new run: milliseconds count from 0 again, after a line "# run N".
  void restart(int run_number);
  // What a run's link is given to write into this trace (Link::set_trace_sink);
  // it may outlive the trace, and then writes nothing.
  TraceSink sink() const;

 private:
  struct File;
  std::shared_ptr<File> file_;
};

}  // namespace wire
