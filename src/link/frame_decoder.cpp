#include "link/frame_decoder.h"

#include <vector>

#include "link/request_ids.h"
#include "platform/text_format.h"

namespace wire {

namespace {

using Bytes = std::vector<std::uint8_t>;


// What follows the request id up to the end byte, escapes removed; the last
// byte is the checksum.
Bytes unescaped_payload(std::span<const std::uint8_t> frame) {
  Bytes out;
  if (frame.size() < 5) return out;
  for (std::size_t i = 3; i + 1 < frame.size(); ++i) {
    if (frame[i] == wire::kEscape && i + 2 < frame.size()) ++i;
    out.push_back(frame[i]);
  }
  return out;
}

std::string quoted_text(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (std::uint8_t b : bytes) {
    if (b == 0) break;
    text += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '?';
  }
  return "\"" + text + "\"";
}

std::string fs_operation_name(std::uint8_t op) {
  switch (op) {
    case 0:
      return "open";
    case wire::kOpFormatFirst:
      return "format (first request)";
    case wire::kOpFormatSecond:
      return "format (second request)";
    case wire::kOpRemove:
      return "remove";
    case wire::kOpMakeDirectory:
      return "make directory";
    case wire::kOpDirectory:
      return "directory";
    case wire::kOpFileQuery:
      return "file query";
    case wire::kOpReadSetup:
      return "read set-up";
    default:
      return platform::strprintf("operation 0x%02X", op);
  }
}

// A file-system request: a stream request, or a call request taken apart.
std::string describe_fs(const Bytes& p, std::optional<std::uint8_t>* op) {
  if (p.empty()) return "file system: empty";
  switch (p[0]) {
    case wire::kOpWrite:
      *op = wire::kOpWrite;
      return platform::strprintf("file system: write, chunk of %d bytes", p.size() > 1 ? p[1] : 0);
    case wire::kOpClose:
      *op = wire::kOpClose;
      return "file system: close";
    case wire::kOpBlockRead:
      *op = wire::kOpBlockRead;
      return platform::strprintf("file system: block read of %d bytes", p.size() > 1 ? p[1] : 0);
    case wire::kMarker:
      break;
    default:
      *op = std::nullopt;
      return platform::strprintf("file system: unknown form 0x%02X", p[0]);
  }
  std::size_t i = 1;
  std::string text;
  if (i + 1 < p.size() && p[i] == wire::kTextItem) {
    const std::size_t length = p[i + 1];
    const std::size_t start = i + 2;
    const std::size_t end = std::min(p.size(), start + length);
    text = " " + quoted_text(std::span(p).subspan(start, end - start));
    i = end;
  }
  // The tail: an optional value item, the operation byte and a zero.
  std::string reference;
  if (i + 2 < p.size() && (p[i] == wire::kValueItemWord || p[i] == wire::kValueItemShort)) {
    reference = platform::strprintf(", file reference %02X %02X", p[i + 1], p[i + 2]);
    i += 3;
  }
  // p ends with the checksum, so the tail's last byte sits before it.
  const std::size_t tail = i < p.size() ? p.size() - 1 - i : 0;  // a text item may claim too much
  const std::uint8_t operation = tail >= 2 ? p[i] : 0;
  *op = operation;
  // Only the read set-up's value item says something of this file.
  if (operation != wire::kOpReadSetup) reference.clear();
  return "file system: " + fs_operation_name(operation) + text + reference;
}

std::string describe_request(std::uint8_t id, const Bytes& p, std::optional<std::uint8_t>* op) {
  auto at = [&](std::size_t k) { return k + 1 < p.size() ? static_cast<int>(p[k]) : 0; };
  *op = std::nullopt;
  switch (id) {
    case wire::kTiRequest:
      return "ti";
    case wire::kTestModeRequest:
      return platform::strprintf("test mode, mode %d", at(0));
    case wire::kSeRequest:
      return platform::strprintf("se, value %d", at(0));
    case wire::kRfeRequest:
      return platform::strprintf("rfe, value %d", at(0));
    case wire::kSpwRequest:
      return platform::strprintf("spw, values %d %d", at(0), at(2));
    case wire::kRegisterWriteRequest:
      return platform::strprintf("register write, address 0x%02X, value 0x%02X%02X", at(0), at(3),
                                 at(2));
    case wire::kRegisterReadRequest:
      return platform::strprintf("register read, address 0x%02X", at(0));
    case wire::kParameterWriteRequest:
      return platform::strprintf("parameter write 0x%02X", at(0));
    case wire::kParameterReadRequest:
      return platform::strprintf("parameter read 0x%02X", at(0));
    case wire::kAgcReadRequest:
      return "agc read";
    case wire::kAgcWriteRequest:
      return platform::strprintf("agc write, value 0x%02X%02X", at(2), at(1));
    case wire::kCalibrationRequest:
      return platform::strprintf("calibration value 0x%02X", at(0));
    case wire::kFsRequest:
      return describe_fs(p, op);
    default:
      return platform::strprintf("request 0x%02X", id);
  }
}

// The reply frame taken apart by the counts the caller asked for.
struct ReplyParts {
  bool found = false;
  std::uint8_t status = 0;
  bool has_status = false;
  Bytes data;
};

ReplyParts split_reply(const wire::TraceEvent& e) {
  ReplyParts r;
  const auto& b = e.bytes;
  std::size_t i = 1;
  while (i < b.size() && !(b[i] == wire::kFrameType && b[i - 1] == wire::kFrameBoundary)) ++i;
  if (i >= b.size()) return r;
  r.found = true;
  i += 2;  // the type byte and the request id
  if (i >= b.size()) return r;
  r.status = b[i++];
  r.has_status = true;
  i += e.head_count;
  while (i < b.size() && r.data.size() < e.data_count) {
    if (b[i] == wire::kEscape && i + 1 < b.size()) ++i;
    r.data.push_back(b[i++]);
  }
  return r;
}

}  // namespace

std::string hex_bytes(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (std::uint8_t b : bytes) {
    if (!out.empty()) out += ' ';
    out += platform::strprintf("%02X", b);
  }
  return out;
}

std::string FrameDecoder::request(std::span<const std::uint8_t> frame) {
  if (frame.size() < 3) return "short frame";
  last_id_ = frame[2];
  const Bytes payload = unescaped_payload(frame);
  return platform::strprintf("id 0x%02X ", last_id_) +
         describe_request(last_id_, payload, &last_fs_operation_);
}

std::string FrameDecoder::reply(const wire::TraceEvent& e) const {
  const ReplyParts parts = split_reply(e);
  std::string text = platform::strprintf("reply to 0x%02X", e.request_id);
  if (e.fault == wire::ReplyFault::kRefused && parts.has_status) {
    return text + platform::strprintf(": refused, status %d", parts.status);
  }
  if (e.fault != wire::ReplyFault::kNone && e.fault != wire::ReplyFault::kBadChecksum) {
    return text + ": failed, " + std::string(wire::describe(e.fault));
  }
  text += ": status 0";
  const Bytes& d = parts.data;
  if (e.request_id == wire::kFsRequest && last_fs_operation_ == wire::kOpFileQuery && d.size() >= 4) {
    text +=
        platform::strprintf(", file reference %02X %02X, size %d", d[0], d[1], d[2] + 256 * d[3]);
  } else if (e.request_id == wire::kFsRequest && last_fs_operation_ == wire::kOpBlockRead) {
    text += platform::strprintf(", %zu file bytes", d.size());
  } else if (!d.empty()) {
    text += platform::strprintf(", %zu data bytes", d.size());
  }
  if (e.checksum == wire::ReplyChecksum::kDiffers) {
    text += e.fault == wire::ReplyFault::kBadChecksum
                ? "; CHECKSUM WRONG: failed (the checksum is tested)"
                : "; CHECKSUM WRONG (not tested: the reply counts)";
  }
  return text;
}

}  // namespace wire
