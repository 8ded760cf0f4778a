// Reading a file out of the handset, shared by "frd", "compare" and "check":
// the file query (reference and size), then the read set-up and the block
// reads that bring the file's bytes over, 123 at a time.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "fs/request.h"
#include "link/link.h"

namespace fs {

// What a successful file query tells about a file.
struct FileFacts {
  std::uint16_t size = 0;
  std::array<std::uint8_t, 2> reference{};
};

// One exchange of the file query. On success (0) fills facts; on failure
// (100) leaves them as they were.
std::uint8_t query_file(wire::Link& link, const FsRequest& query, FileFacts& facts);

// The read set-up for path and facts.reference, then size / 123 full block
// reads and one for the remainder, each into the next bytes of buffer.
// Returns the first failing exchange status, or 0 when all succeeded. A size
// beyond the buffer is refused (100) without a request.
std::uint8_t read_file_blocks(wire::Link& link, std::string_view path, const FileFacts& facts,
                              std::span<std::uint8_t, kLargestFile> buffer);

}  // namespace fs
