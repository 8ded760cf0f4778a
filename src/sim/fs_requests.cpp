#include "sim/fs_requests.h"

#include "sim/handlers.h"
#include "sim/handset.h"

namespace sim {

namespace {
constexpr std::uint8_t kMarker = 0x01;
constexpr std::uint8_t kTextItem = 0x26;
constexpr std::uint8_t kStreamWrite = 0x1B;
constexpr std::uint8_t kStreamClose = 0x07;
constexpr std::uint8_t kStreamBlockRead = 0x1A;
}  // namespace

std::optional<FsCall> parse_fs_call(std::span<const std::uint8_t> p) {
  if (p.empty() || p[0] != kMarker) return std::nullopt;
  FsCall call;
  std::size_t i = 1;
  if (i < p.size() && p[i] == kTextItem) {
    if (i + 1 >= p.size()) return std::nullopt;
    const std::size_t length = p[i + 1];
    const std::size_t start = i + 2;
    if (length == 0 || start + length > p.size()) return std::nullopt;
    std::string text(p.begin() + static_cast<std::ptrdiff_t>(start),
                     p.begin() + static_cast<std::ptrdiff_t>(start + length));
    while (!text.empty() && text.back() == '\0') {
      text.pop_back();
      ++call.text_zeros;
    }
    if (call.text_zeros == 0) return std::nullopt;  // a text always ends with a zero
    call.text = std::move(text);
    i = start + length;
  }
  // The tail: an optional value item (tag and two bytes), the operation byte, 0x00.
  const std::size_t tail = p.size() - i;
  if (tail == 1 && p[i] == 0x00) {
    call.op = 0;  // the open request
    return call;
  }
  if (tail == 2 && p[i + 1] == 0x00) {
    call.op = p[i];
    return call;
  }
  if (tail == 5 && (p[i] == 0x21 || p[i] == 0x23) && p[i + 4] == 0x00) {
    call.value.assign(p.begin() + static_cast<std::ptrdiff_t>(i),
                      p.begin() + static_cast<std::ptrdiff_t>(i + 3));
    call.op = p[i + 3];
    return call;
  }
  return std::nullopt;
}

std::optional<std::uint8_t> fs_operation(std::span<const std::uint8_t> payload) {
  if (payload.empty()) return std::nullopt;
  if (payload[0] == kStreamWrite || payload[0] == kStreamClose ||
      payload[0] == kStreamBlockRead) {
    return payload[0];
  }
  auto call = parse_fs_call(payload);
  if (!call) return std::nullopt;
  return call->op;
}

std::optional<Reply> answer_file_system(HandsetState& state, const Request& request) {
  const std::span<const std::uint8_t> p = request.payload;
  if (p.empty()) return refusal();
  switch (p[0]) {
    case kStreamWrite: return answer_fs_write(state.fs, p);
    case kStreamClose: return answer_fs_close(state.fs, p);
    case kStreamBlockRead: return answer_fs_block_read(state.fs, p);
    default: break;
  }
  auto call = parse_fs_call(p);
  if (!call) return refusal();
  switch (call->op) {
    case 0x00: return answer_fs_open(state.fs, *call);
    case 0x03:
    case 0x04: return answer_fs_format(state.fs, *call);
    case 0x08: return answer_fs_read_setup(state.fs, *call);
    case 0x09: return answer_fs_remove(state.fs, *call);
    case 0x0A: return answer_fs_make_directory(state.fs, *call);
    case 0x0B: return answer_fs_directory(state.fs, *call);
    case 0x0D: return answer_fs_query(state.fs, *call);
    default: return refusal();
  }
}

}  // namespace sim
