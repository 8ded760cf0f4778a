#include <cmath>
#include <vector>

#include "link/link.h"
#include "platform/clock.h"
#include "platform/serial_operations.h"
#include "platform/user_interface.h"

namespace {

// Above this per-byte timeout the panels are repainted while waiting.
constexpr double kRepaintAboveSeconds = 1.0;
// Longest single block on the port while the panels want repainting.
constexpr long kRepaintSliceMs = 40;
// No caller waits longer than this for one byte; it also keeps the
// conversion to milliseconds sane for absurd arguments.
constexpr double kLongestTimeoutSeconds = 3600.0;

enum class State {
  kAwaitStart,
  kAwaitType,
  kExpectRequestId,
  kExpectStatus,
  kHeadBytes,
  kDataBytes,
  kChecksum,
  kEnd,
  kComplete,
  kFailed,
};

long timeout_limit_ms(double timeout) {
  if (!(timeout > 0.0)) return 0;  // also NaN
  if (timeout > kLongestTimeoutSeconds) timeout = kLongestTimeoutSeconds;
  return static_cast<long>(timeout * 1000.0);  // truncated, as the clock counts
}

State after_status(std::size_t head_count, std::size_t data_count) {
  if (head_count != 0) return State::kHeadBytes;
  if (data_count != 0) return State::kDataBytes;
  return State::kChecksum;
}

}  // namespace

namespace wire {

int Link::wait_for_byte(double timeout) {
  const long start = platform::clock();
  const long limit = timeout_limit_ms(timeout);
  const bool repaint = timeout > kRepaintAboveSeconds;
  int waiting = 0;
  for (;;) {
    waiting = platform::GetInQLen(comport_);
    if (waiting != 0) break;
    if (repaint) platform::ProcessDrawEvents();
    // The line is quiet while the handset prepares its answer.
    pauses_.do_due();
    const long elapsed = platform::clock() - start;
    if (elapsed >= limit) break;
    long slice = limit - elapsed;
    if (repaint && slice > kRepaintSliceMs) slice = kRepaintSliceMs;
    platform::ComWaitForInput(comport_, slice);
    // A byte that comes only as the limit is reached came a whole timeout late.
    if (platform::clock() - start >= limit) break;
  }
  if (waiting == 0) return -1;
  int byte = platform::ComRdByte(comport_);
  return byte < 0 ? -2 : byte;
}

int Link::receive_next_packet(const std::uint8_t& expected_id, std::span<std::uint8_t> head,
                              std::span<std::uint8_t> data, std::uint8_t& status, double timeout) {
  status = 0;
  State state = State::kAwaitStart;
  int hunt_count = 0;
  std::uint8_t last_hunted = 0;
  std::size_t head_pos = 0;
  std::size_t data_pos = 0;
  std::size_t head_left = head.size();
  std::size_t data_left = data.size();
  bool escape_pending = false;  // a lone 0x10 waits at data_pos for its partner
  bool checksum_escaped = false;
  // The XOR rule requests follow, applied to the reply: id, status, head and
  // data bytes with their escapes removed. Reply head bytes are stored as
  // they arrive, so the rule skips the escape byte of a pair there itself.
  std::uint8_t sum = expected_id;
  bool head_escape = false;
  std::uint8_t checksum = 0;
  ReplyFault fault = ReplyFault::kNone;
  std::vector<std::uint8_t> seen;  // only filled while tracing

  auto fail = [&](ReplyFault why) {
    fault = why;
    state = State::kFailed;
  };
  auto hunt = [&](std::uint8_t b) {
    last_hunted = b;
    ++hunt_count;
  };

  while (state != State::kComplete && state != State::kFailed) {
    int got = wait_for_byte(timeout);
    if (got < 0) {
      fail(got == -1 ? ReplyFault::kTimeout : ReplyFault::kReadError);
      break;
    }
    const auto b = static_cast<std::uint8_t>(got);
    if (tracing()) seen.push_back(b);

    switch (state) {
      case State::kAwaitStart:
        hunt(b);
        if (b == kFrameBoundary) {
          state = State::kAwaitType;
        } else if (hunt_count > kHuntLimit) {
          fail(ReplyFault::kNoise);
        }
        break;
      case State::kAwaitType:
        if (b == kFrameType && last_hunted == kFrameBoundary) {
          state = State::kExpectRequestId;
        } else {
          hunt(b);
          if (hunt_count > kHuntLimit) fail(ReplyFault::kNoise);
        }
        break;
      case State::kExpectRequestId:
        if (b == expected_id) {
          state = State::kExpectStatus;
        } else {
          fail(ReplyFault::kWrongId);
        }
        break;
      case State::kExpectStatus:
        status = b;
        sum ^= b;
        if (b != 0) {
          fail(ReplyFault::kRefused);
        } else {
          state = after_status(head.size(), data.size());
        }
        break;
      case State::kHeadBytes:
        head[head_pos++] = b;  // taken as it arrives, escape pairs included
        if (b == kEscape && !head_escape) {
          head_escape = true;
        } else {
          head_escape = false;
          sum ^= b;
        }
        if (--head_left == 0) {
          if (head_escape) sum ^= kEscape;  // a pair cut by the layout: taken literally
          state = data.empty() ? State::kChecksum : State::kDataBytes;
        }
        break;
      case State::kDataBytes:
        if (escape_pending) {
          escape_pending = false;
          if (b == kFrameBoundary) {
            data[data_pos] = kFrameBoundary;
          } else if (b != kEscape) {
            fail(ReplyFault::kBadEnd);  // an escape with no valid partner
            break;
          }
          sum ^= b;
          ++data_pos;  // the stored 0x10 stays when the partner is 0x10
          --data_left;
        } else if (b == kEscape) {
          data[data_pos] = kEscape;  // provisional; counts with its partner
          escape_pending = true;
        } else if (b == kFrameBoundary) {
          fail(ReplyFault::kBadEnd);  // the frame ended before its data did
          break;
        } else {
          data[data_pos++] = b;
          sum ^= b;
          --data_left;
        }
        if (data_left == 0) state = State::kChecksum;
        break;
      case State::kChecksum:
        if (b == kEscape && !checksum_escaped) {
          checksum_escaped = true;
        } else {
          checksum = b;
          state = State::kEnd;  // tested only once the frame is complete
        }
        break;
      case State::kEnd:
        if (b == kFrameBoundary) {
          state = State::kComplete;
        } else {
          fail(ReplyFault::kBadEnd);
        }
        break;
      case State::kComplete:
      case State::kFailed:
        break;
    }
  }
  auto checksum_state = ReplyChecksum::kNotRead;
  if (state == State::kComplete) {
    checksum_state = checksum == sum ? ReplyChecksum::kMatches : ReplyChecksum::kDiffers;
    if (checksum_state == ReplyChecksum::kDiffers) {
      ++checksum_mismatches_;
      // A bit flipped on the cable must not slip into a read-back file.
      if (check_reply_checksum_) fail(ReplyFault::kBadChecksum);
    }
  }
  if (tracing()) {
    TraceEvent event;
    event.bytes = seen;
    event.request_id = expected_id;
    event.head_count = head.size();
    event.data_count = data.size();
    event.fault = fault;
    event.checksum = checksum_state;
    trace(event);
  }
  last_fault_ = fault;
  return state == State::kComplete ? kReaderComplete : kReaderFailed;
}

std::uint8_t Link::handle_response(std::span<std::uint8_t> data, std::span<std::uint8_t> head,
                                   std::uint8_t request_id, double timeout) {
  if (request_refused_) {
    request_refused_ = false;
    last_fault_ = ReplyFault::kRequestRefused;
    if (tracing()) {
      TraceEvent event;
      event.request_id = request_id;
      event.fault = ReplyFault::kRequestRefused;
      trace(event);
    }
    return kExchangeFailed;
  }
  if (head.size() > 255 || data.size() > 255) {
    last_fault_ = ReplyFault::kBadEnd;
    return kExchangeFailed;
  }
  std::uint8_t status = 0;
  int result = receive_next_packet(request_id, head, data, status, timeout);
  return result == kReaderComplete ? status : kExchangeFailed;
}

}  // namespace wire
