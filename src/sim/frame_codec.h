// The handset's side of the frames: taking request frames apart and putting
// reply frames together.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sim {

struct Request {
  std::uint8_t id = 0;
  std::vector<std::uint8_t> payload;  // head and body bytes, escapes removed
};

struct Reply {
  std::uint8_t status = 0;
  std::vector<std::uint8_t> head;
  std::vector<std::uint8_t> data;
};

// Collects request frames from a byte stream. Frames with a wrong checksum or
// a broken escape are dropped, as a handset would ignore them.
class RequestParser {
 public:
  // Feeds bytes; returns the requests completed by them.
  std::vector<Request> feed(std::span<const std::uint8_t> bytes);
  int dropped_frames() const { return dropped_; }

 private:
  enum class State { kIdle, kType, kBody };
  void finish_frame(std::vector<Request>& out);
  State state_ = State::kIdle;
  bool escaped_ = false;
  std::vector<std::uint8_t> body_;  // request id, payload and checksum
  int dropped_ = 0;
};

// A reply frame: 02 14 id status, head and data bytes escaped, checksum, 02.
// checksum_override puts another checksum on the wire (a fault).
std::vector<std::uint8_t> encode_reply(std::uint8_t request_id, const Reply& reply,
                                       std::optional<std::uint8_t> checksum_override = {});
// The checksum a handset puts on a reply: XOR of id, status, head and data.
std::uint8_t reply_checksum(std::uint8_t request_id, const Reply& reply);

}  // namespace sim
