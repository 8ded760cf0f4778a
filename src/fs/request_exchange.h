// One exchange of a file-system request, with the reply counts its layout
// names. Most of these replies carry nothing the tool uses, but the counts
// must match what the handset sends or the reply fails at its end byte.
#pragma once

#include <cstdint>
#include <span>

#include "fs/request.h"
#include "link/link.h"

namespace fs {

// Sends the request and reads its reply. The reply head bytes are dropped;
// data receives the reply data bytes when it is given (its size must then be
// layout.data), else they are dropped too.
std::uint8_t exchange_fs_request(wire::Link& link, const FsRequest& request, ReplyLayout layout,
                                 double timeout, std::span<std::uint8_t> data = {});

}  // namespace fs
