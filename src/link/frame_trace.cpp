#include "link/frame_trace.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "link/frame_decoder.h"
#include "link/link.h"
#include "platform/clock.h"

namespace wire {

namespace {

struct TraceFile {
  std::FILE* out = nullptr;
  long start_ms = 0;
  FrameDecoder decoder;
};

std::shared_ptr<TraceFile> g_trace;

void write_event(TraceFile& t, const wire::TraceEvent& e) {
  const long ms = platform::clock() - t.start_ms;
  const std::string text = e.outgoing ? t.decoder.request(e.bytes) : t.decoder.reply(e);
  const std::string hex = e.bytes.empty() ? "(nothing)" : hex_bytes(e.bytes);
  std::fprintf(t.out, "%7ld ms  %s  %s  |  %s\n", ms, e.outgoing ? ">" : "<", hex.c_str(),
               text.c_str());
}

}  // namespace

void start_frame_trace(std::FILE* out) {
  auto t = std::make_shared<TraceFile>();
  t->out = out;
  t->start_ms = platform::clock();
  g_trace = t;
  wire::set_trace_sink([t](const wire::TraceEvent& e) { write_event(*t, e); });
}

void restart_frame_trace(int run_number) {
  if (!g_trace) return;
  g_trace->start_ms = platform::clock();
  std::fprintf(g_trace->out, "# run %d\n", run_number);
}

void stop_frame_trace() {
  wire::set_trace_sink(nullptr);
  if (g_trace) std::fflush(g_trace->out);
  g_trace.reset();
}

}  // namespace wire
