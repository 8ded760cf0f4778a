#include "fs/handset_file_read.h"

#include <algorithm>

#include "commands/command_support.h"
#include "link/link.h"

namespace fs {

namespace {

constexpr std::size_t kMostReplyHeadBytes = 6;

// One exchange of a request whose reply has the given layout.
std::uint8_t exchange_with_layout(const FsRequest& request, ReplyLayout layout,
                                  std::span<std::uint8_t> data) {
  std::array<std::uint8_t, kMostReplyHeadBytes> head{};
  if (layout.head > head.size() || layout.data != data.size()) return wire::kExchangeFailed;
  return exchange(kFsRequest, request.head(), request.body(), data,
                  std::span(head).first(layout.head), commands::kReplyTimeout);
}

}  // namespace

std::uint8_t query_file(const FsRequest& query, FileFacts& facts) {
  std::array<std::uint8_t, kFileQueryReply.data> data{};
  const std::uint8_t status = exchange_with_layout(query, kFileQueryReply, data);
  if (status == wire::kExchangeOk) {
    facts.reference = {data[0], data[1]};
    facts.size = static_cast<std::uint16_t>(data[2] | (data[3] << 8));
  }
  return status;
}

std::uint8_t read_file_blocks(std::string_view path, const FileFacts& facts,
                              std::span<std::uint8_t, kLargestFile> buffer) {
  if (facts.size > buffer.size()) return wire::kExchangeFailed;
  const auto setup = read_setup_request(path, facts.reference[0], facts.reference[1]);
  if (!setup) return wire::kExchangeFailed;
  std::uint8_t status = exchange_with_layout(*setup, kReadSetupReply, {});
  if (status != wire::kExchangeOk) return status;

  std::size_t filled = 0;
  while (filled < facts.size) {
    const auto k =
        static_cast<std::uint8_t>(std::min<std::size_t>(kReadBlock, facts.size - filled));
    status =
        exchange_with_layout(block_read_request(k), block_read_reply(k), buffer.subspan(filled, k));
    if (status != wire::kExchangeOk) return status;
    filled += k;
  }
  return wire::kExchangeOk;
}

}  // namespace fs
