#include "link/link_state.h"

int comport = 0;

namespace wire {

namespace {
ReplyFault g_last_fault = ReplyFault::kNone;
bool g_request_refused = false;
TraceSink g_trace;
bool g_check_reply_checksum = false;
int g_checksum_mismatches = 0;
}  // namespace

ReplyFault last_reply_fault() {
  return g_last_fault;
}
void set_last_reply_fault(ReplyFault fault) {
  g_last_fault = fault;
}

bool take_request_refused() {
  bool refused = g_request_refused;
  g_request_refused = false;
  return refused;
}
void set_request_refused(bool refused) {
  g_request_refused = refused;
}

std::string_view describe(ReplyFault fault) {
  switch (fault) {
    case ReplyFault::kNone:
      return "complete";
    case ReplyFault::kTimeout:
      return "no reply within the timeout";
    case ReplyFault::kReadError:
      return "the port reported an error";
    case ReplyFault::kNoise:
      return "too much noise before the reply";
    case ReplyFault::kWrongId:
      return "reply to another request";
    case ReplyFault::kRefused:
      return "refused by the handset";
    case ReplyFault::kBadEnd:
      return "broken reply frame";
    case ReplyFault::kRequestRefused:
      return "request too long for a frame";
    case ReplyFault::kBadChecksum:
      return "wrong reply checksum";
  }
  return "unknown";
}

void set_trace_sink(TraceSink sink) {
  g_trace = std::move(sink);
}

void trace(const TraceEvent& event) {
  if (g_trace) g_trace(event);
}
bool tracing() {
  return static_cast<bool>(g_trace);
}

void set_check_reply_checksum(bool on) {
  g_check_reply_checksum = on;
}
bool check_reply_checksum() {
  return g_check_reply_checksum;
}

int reply_checksum_mismatches() {
  return g_checksum_mismatches;
}
void reset_reply_checksum_mismatches() {
  g_checksum_mismatches = 0;
}
void count_reply_checksum_mismatch() {
  ++g_checksum_mismatches;
}

}  // namespace wire
