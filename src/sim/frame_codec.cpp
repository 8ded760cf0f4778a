#include "sim/frame_codec.h"

namespace sim {

namespace {
constexpr std::uint8_t kBoundary = 0x02;
constexpr std::uint8_t kType = 0x14;
constexpr std::uint8_t kEscape = 0x10;
// Longest request a tool sends; anything longer is line garbage.
constexpr std::size_t kLongestRequest = 256;

void put_escaped(std::vector<std::uint8_t>& out, std::uint8_t b) {
  if (b == kBoundary || b == kEscape) out.push_back(kEscape);
  out.push_back(b);
}
}  // namespace

std::vector<Request> RequestParser::feed(std::span<const std::uint8_t> bytes) {
  std::vector<Request> out;
  for (std::uint8_t b : bytes) {
    switch (state_) {
      case State::kIdle:
        if (b == kBoundary) state_ = State::kType;
        break;
      case State::kType:
        if (b == kType) {
          state_ = State::kBody;
          body_.clear();
          escaped_ = false;
        } else if (b != kBoundary) {
          state_ = State::kIdle;
        }
        break;
      case State::kBody:
        if (escaped_) {
          escaped_ = false;
          if (b != kBoundary && b != kEscape) {
            ++dropped_;
            state_ = State::kIdle;
            break;
          }
          body_.push_back(b);
        } else if (b == kEscape && !body_.empty()) {  // the request id is never escaped
          escaped_ = true;
        } else if (b == kBoundary && !body_.empty()) {
          finish_frame(out);
          state_ = State::kIdle;
        } else {
          body_.push_back(b);
        }
        if (body_.size() > kLongestRequest) {
          ++dropped_;
          state_ = State::kIdle;
        }
        break;
    }
  }
  return out;
}

void RequestParser::finish_frame(std::vector<Request>& out) {
  if (body_.size() < 2) {
    ++dropped_;
    return;
  }
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i + 1 < body_.size(); ++i) sum ^= body_[i];
  if (sum != body_.back()) {
    ++dropped_;
    return;
  }
  Request r;
  r.id = body_.front();
  r.payload.assign(body_.begin() + 1, body_.end() - 1);
  out.push_back(std::move(r));
}

std::uint8_t reply_checksum(std::uint8_t request_id, const Reply& reply) {
  std::uint8_t sum = request_id ^ reply.status;
  for (std::uint8_t b : reply.head) sum ^= b;
  for (std::uint8_t b : reply.data) sum ^= b;
  return sum;
}

std::vector<std::uint8_t> encode_reply(std::uint8_t request_id, const Reply& reply,
                                       std::optional<std::uint8_t> checksum_override) {
  std::vector<std::uint8_t> out{kBoundary, kType, request_id, reply.status};
  for (std::uint8_t b : reply.head) put_escaped(out, b);
  for (std::uint8_t b : reply.data) put_escaped(out, b);
  put_escaped(out, checksum_override.value_or(reply_checksum(request_id, reply)));
  out.push_back(kBoundary);
  return out;
}

}  // namespace sim
