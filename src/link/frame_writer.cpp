#include <array>

#include "link/link.h"
#include "platform/serial_operations.h"

namespace {

// Builds a request frame in a fixed area; refuses instead of overrunning it.
class FrameBuilder {
 public:
  bool put(std::uint8_t b) {
    if (length_ >= wire::kMaxFrameLength) return false;
    frame_[length_++] = b;
    return true;
  }
  // Appends a byte, as an escape pair when it is a boundary or escape value.
  bool put_escaped(std::uint8_t b) {
    if (b == wire::kFrameBoundary || b == wire::kEscape) {
      if (!put(wire::kEscape)) return false;
    }
    return put(b);
  }
  std::span<const std::uint8_t> bytes() const { return {frame_.data(), length_}; }

 private:
  std::array<std::uint8_t, 256> frame_{};
  std::size_t length_ = 0;
};

}  // namespace

namespace wire {

void Link::send_packet(std::uint8_t request_id, std::span<const std::uint8_t> head,
                       std::span<const std::uint8_t> body) {
  platform::FlushInQ(comport_);
  platform::FlushOutQ(comport_);

  FrameBuilder frame;
  std::uint8_t checksum = request_id;
  bool fits = head.size() <= 255 && body.size() <= 255;
  fits = fits && frame.put(wire::kFrameBoundary) && frame.put(wire::kFrameType) &&
         frame.put(request_id);
  for (auto group : {head, body}) {
    for (std::size_t i = 0; fits && i < group.size(); ++i) {
      fits = frame.put_escaped(group[i]);
      checksum ^= group[i];
    }
  }
  fits = fits && frame.put_escaped(checksum) && frame.put(wire::kFrameBoundary);

  request_refused_ = !fits;
  if (!fits) return;
  if (tracing()) {
    TraceEvent event;
    event.outgoing = true;
    event.bytes = frame.bytes();
    trace(event);
  }
  platform::ComWrt(comport_, frame.bytes());
}

std::uint8_t Link::exchange(std::uint8_t request_id, std::span<const std::uint8_t> head,
                            std::span<const std::uint8_t> body, std::span<std::uint8_t> reply_data,
                            std::span<std::uint8_t> reply_head, double timeout) {
  send_packet(request_id, head, body);
  return handle_response(reply_data, reply_head, request_id, timeout);
}

}  // namespace wire
