#include "fs/handset_file_read.h"

#include <algorithm>

#include "link/command_support.h"
#include "fs/request_exchange.h"
#include "link/link.h"

namespace fs {

std::uint8_t query_file(wire::Link& link, const FsRequest& query, FileFacts& facts) {
  std::array<std::uint8_t, kFileQueryReply.data> data{};
  const std::uint8_t status =
      exchange_fs_request(link, query, kFileQueryReply, wire::kReplyTimeout, data);
  if (status == wire::kExchangeOk) {
    facts.reference = {data[0], data[1]};
    facts.size = static_cast<std::uint16_t>(data[2] | (data[3] << 8));
  }
  return status;
}

std::uint8_t read_file_blocks(wire::Link& link, std::string_view path, const FileFacts& facts,
                              std::span<std::uint8_t, kLargestFile> buffer) {
  if (facts.size > buffer.size()) return wire::kExchangeFailed;
  const auto setup = read_setup_request(path, facts.reference[0], facts.reference[1]);
  if (!setup) return wire::kExchangeFailed;
  std::uint8_t status = exchange_fs_request(link, *setup, kReadSetupReply, wire::kReplyTimeout);
  if (status != wire::kExchangeOk) return status;

  std::size_t filled = 0;
  while (filled < facts.size) {
    const auto k =
        static_cast<std::uint8_t>(std::min<std::size_t>(kReadBlock, facts.size - filled));
    status = exchange_fs_request(link, block_read_request(k), block_read_reply(k),
                                 wire::kReplyTimeout, buffer.subspan(filled, k));
    if (status != wire::kExchangeOk) return status;
    filled += k;
  }
  return wire::kExchangeOk;
}

}  // namespace fs
