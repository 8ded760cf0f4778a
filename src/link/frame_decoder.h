// Turns the frames of one exchange into a short text for the trace: what a
// request asks for (request id, file-system operation, path, chunk size) and
// what its reply said (status, the values the tool uses, or why it failed).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "link/link.h"

namespace wire {

class FrameDecoder {
 public:
  // A request frame as written, start and end bytes included.
  std::string request(std::span<const std::uint8_t> frame);
  // One reply wait. Uses the request decoded last to name reply values.
  std::string reply(const wire::TraceEvent& event) const;

 private:
  std::uint8_t last_id_ = 0;
  std::optional<std::uint8_t> last_fs_operation_;  // 0x70 requests only; 0 = open
};

// The bytes as "02 14 70 ...".
std::string hex_bytes(std::span<const std::uint8_t> bytes);

}  // namespace wire
