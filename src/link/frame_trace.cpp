#include "link/frame_trace.h"

#include <string>

#include "link/frame_decoder.h"
#include "platform/clock.h"

namespace wire {

struct FrameTrace::File {
  std::FILE* out = nullptr;
  long start_ms = 0;
  FrameDecoder decoder;

  void write(const TraceEvent& e) {
    const long ms = platform::clock() - start_ms;
    const std::string text = e.outgoing ? decoder.request(e.bytes) : decoder.reply(e);
    const std::string hex = e.bytes.empty() ? "(nothing)" : hex_bytes(e.bytes);
    std::fprintf(out, "%7ld ms  %s  %s  |  %s\n", ms, e.outgoing ? ">" : "<", hex.c_str(),
                 text.c_str());
  }
};

FrameTrace::FrameTrace(std::FILE* out) : file_(std::make_shared<File>()) {
  file_->out = out;
  file_->start_ms = platform::clock();
}

FrameTrace::~FrameTrace() {
  if (file_->out) std::fflush(file_->out);
  file_->out = nullptr;
}

void FrameTrace::restart(int run_number) {
  file_->start_ms = platform::clock();
  std::fprintf(file_->out, "# run %d\n", run_number);
}

TraceSink FrameTrace::sink() const {
  return [file = file_](const TraceEvent& e) {
    if (file->out) file->write(e);
  };
}

}  // namespace wire
