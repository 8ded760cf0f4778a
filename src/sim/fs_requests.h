// The handset's reading of a file-system request (request id 0x70).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/frame_codec.h"
#include "sim/handset_state.h"

namespace sim {

// A call request taken apart: marker, text item, value item, operation byte.
struct FsCall {
  std::optional<std::string> text;  // without its terminating zeros
  std::size_t text_zeros = 0;       // how many zero bytes ended the text
  std::vector<std::uint8_t> value;  // the value item: its tag and two bytes
  std::uint8_t op = 0;              // 0 for the open request (tail 0x00 alone)
};

// Parses a call request; nothing when the bytes are not one.
std::optional<FsCall> parse_fs_call(std::span<const std::uint8_t> payload);

// Operation of a 0x70 request: the stream operation byte, or the call's
// operation byte (0 for an open request). Nothing for malformed requests.
std::optional<std::uint8_t> fs_operation(std::span<const std::uint8_t> payload);

// Handlers, one file for writing and shaping, one for reading.
std::optional<Reply> answer_fs_format(FlashFs& fs, const FsCall& call);        // 0x03, 0x04
std::optional<Reply> answer_fs_make_directory(FlashFs& fs, const FsCall& call);  // 0x0A
std::optional<Reply> answer_fs_directory(FlashFs& fs, const FsCall& call);     // 0x0B
std::optional<Reply> answer_fs_remove(FlashFs& fs, const FsCall& call);        // 0x09
std::optional<Reply> answer_fs_open(FlashFs& fs, const FsCall& call);          // open
std::optional<Reply> answer_fs_write(FlashFs& fs, std::span<const std::uint8_t> payload);  // 0x1B
std::optional<Reply> answer_fs_close(FlashFs& fs, std::span<const std::uint8_t> payload);  // 0x07
std::optional<Reply> answer_fs_query(FlashFs& fs, const FsCall& call);         // 0x0D
std::optional<Reply> answer_fs_read_setup(FlashFs& fs, const FsCall& call);    // 0x08
std::optional<Reply> answer_fs_block_read(FlashFs& fs, std::span<const std::uint8_t> payload);  // 0x1A

}  // namespace sim
