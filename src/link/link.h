// The only road between the tool and the handset: opening the port, writing
// one request frame, and reading one reply frame back as an exchange status.
// One Link per run: it holds what the link learns as the run goes (why the
// last exchange failed, the checksum count, the trace), so that two runs in
// one process never see each other's.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "link/pause_work.h"
#include "link/run_log.h"

namespace wire {

constexpr std::uint8_t kFrameBoundary = 0x02;
constexpr std::uint8_t kFrameType = 0x14;
constexpr std::uint8_t kEscape = 0x10;

constexpr std::uint8_t kExchangeOk = 0;
constexpr std::uint8_t kExchangeFailed = 100;

constexpr int kReaderComplete = 0;
constexpr int kReaderFailed = 99;

// Frames, escape bytes included, never exceed this length.
constexpr std::size_t kMaxFrameLength = 255;
// Leading noise tolerated before the start pair.
constexpr int kHuntLimit = 30;

// Why the most recent exchange failed. The exchange status stays 0 or 100;
// this is for the few callers that must tell a handset's refusal (it answered,
// with a non-zero reply status) apart from a line that said nothing useful.
enum class ReplyFault {
  kNone,            // complete reply, status 0
  kTimeout,         // no byte within the timeout
  kReadError,       // the port reported an error (hang-up, not open)
  kNoise,           // too many bytes before the start pair
  kWrongId,         // a reply to some other request
  kRefused,         // right id, non-zero reply status
  kBadEnd,          // no end byte where the layout puts it, or a broken escape
  kRequestRefused,  // the request did not fit a frame and was never sent
  kBadChecksum      // complete, but the checksum breaks the XOR rule (only when asked to test it)
};
std::string_view describe(ReplyFault fault);

// How a complete reply's checksum compares with the rule requests follow
// (XOR of the id, the status and every head and data byte, escapes removed).
enum class ReplyChecksum { kNotRead, kMatches, kDiffers };

// One frame for an observer: a request as written, or what one reply wait
// read (possibly nothing) and how it ended.
struct TraceEvent {
  bool outgoing = false;
  std::span<const std::uint8_t> bytes;
  // Replies only: what the caller asked for, and the outcome.
  std::uint8_t request_id = 0;
  std::size_t head_count = 0;
  std::size_t data_count = 0;
  ReplyFault fault = ReplyFault::kNone;
  ReplyChecksum checksum = ReplyChecksum::kNotRead;
};

// Optional observer of every frame written and every reply wait (trace).
// Without one the link collects nothing.
using TraceSink = std::function<void(const TraceEvent& event)>;

class Link {
 public:
  // The link to the handset on `port` (1..8; any other number has no device,
  // and every exchange fails). The commands on it write their lines and
  // notices to `log`; without one, to the run panel's log (PanelRunLog).
  explicit Link(int port, RunLog* log = nullptr);

  // The serial port, 1..8: every serial operation of the link names it.
  int comport() const { return comport_; }
  RunLog& log() { return log_ ? *log_ : panel_log_; }

  // The handset's pauses, and the run's work that waits for one.
  PauseWork& pauses() { return pauses_; }
  // Blocks for `seconds` while the handset works (a format, a reset, the
  // script's "sleep"), doing the waiting work in the middle (pause_work.h).
  void pause(double seconds) { pauses_.pause(seconds); }

  // Flushes both queues and writes one request frame. A request whose frame
  // would pass 255 bytes is refused: nothing is written and the next
  // exchange fails.
  void send_packet(std::uint8_t request_id, std::span<const std::uint8_t> head,
                   std::span<const std::uint8_t> body);

  // Reads the reply to request_id: head.size() reply head bytes (as they
  // arrive) and data.size() reply data bytes (escape removed), each byte
  // within timeout seconds of the one before. Returns 0 for a complete reply
  // with status 0, 100 otherwise. Counts above 255 are refused (100).
  std::uint8_t handle_response(std::span<std::uint8_t> data, std::span<std::uint8_t> head,
                               std::uint8_t request_id, double timeout);

  // The reply reader behind handle_response: 0 when a complete frame was
  // read, 99 when it failed. status is set to 0 at the start and to the reply
  // status when that byte arrives.
  int receive_next_packet(const std::uint8_t& expected_id, std::span<std::uint8_t> head,
                          std::span<std::uint8_t> data, std::uint8_t& status, double timeout);

  // One exchange: send_packet, then handle_response for the same request id.
  std::uint8_t exchange(std::uint8_t request_id, std::span<const std::uint8_t> head,
                        std::span<const std::uint8_t> body, std::span<std::uint8_t> reply_data,
                        std::span<std::uint8_t> reply_head, double timeout);

  // Why the most recent exchange failed (kNone when it succeeded).
  ReplyFault last_reply_fault() const { return last_fault_; }

  void set_trace_sink(TraceSink sink) { trace_ = std::move(sink); }

  // Off by default: the reply checksum is not tested, and a reply with a
  // wrong checksum but the right layout succeeds. On: such a reply fails
  // like a garbled one (kBadChecksum), for handsets known to follow the XOR rule.
  void set_check_reply_checksum(bool on) { check_reply_checksum_ = on; }
  bool check_reply_checksum() const { return check_reply_checksum_; }

  // Complete replies whose checksum broke the XOR rule on this link,
  // counted whether or not the checksum is tested.
  int reply_checksum_mismatches() const { return checksum_mismatches_; }

 private:
  // One byte within the per-byte timeout: the byte, or -1 when the wait ran
  // out, -2 when the port failed.
  int wait_for_byte(double timeout);
  bool tracing() const { return static_cast<bool>(trace_); }
  void trace(const TraceEvent& event) {
    if (trace_) trace_(event);
  }

  int comport_;
  RunLog* log_;
  PanelRunLog panel_log_;
  PauseWork pauses_;
  ReplyFault last_fault_ = ReplyFault::kNone;
  // Set by the writer when it refuses a request; read once by the next reply wait.
  bool request_refused_ = false;
  TraceSink trace_;
  bool check_reply_checksum_ = false;
  int checksum_mismatches_ = 0;
};

}  // namespace wire

// Opens and configures the port for numbers 1..8; any other number does nothing.
// The outcome is not looked at here: a port that did not open fails its exchanges.
void config_comport(int port);
