#include "fs/request_exchange.h"

#include <array>

#include "link/link.h"

namespace fs {

namespace {
constexpr std::size_t kMostReplyHeadBytes = 6;
constexpr std::size_t kMostReplyDataBytes = 255;
}  // namespace

std::uint8_t exchange_fs_request(wire::Link& link, const FsRequest& request, ReplyLayout layout,
                                 double timeout, std::span<std::uint8_t> data) {
  std::array<std::uint8_t, kMostReplyHeadBytes> head{};
  std::array<std::uint8_t, kMostReplyDataBytes> dropped{};
  if (layout.head > head.size() || layout.data > dropped.size()) return wire::kExchangeFailed;
  if (!data.empty() && data.size() != layout.data) return wire::kExchangeFailed;
  const std::span<std::uint8_t> reply_data =
      data.empty() ? std::span(dropped).first(layout.data) : data;
  return link.exchange(kFsRequest, request.head(), request.body(), reply_data,
                       std::span(head).first(layout.head), timeout);
}

}  // namespace fs
