#include "sim/fs_requests.h"
#include "sim/handset.h"

namespace sim {

std::optional<Reply> answer_fs_query(FlashFs&, const FsCall&) { return refusal(); }
std::optional<Reply> answer_fs_read_setup(FlashFs&, const FsCall&) { return refusal(); }
std::optional<Reply> answer_fs_block_read(FlashFs&, std::span<const std::uint8_t>) {
  return refusal();
}

}  // namespace sim
