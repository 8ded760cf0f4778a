#include "sim/fs_requests.h"
#include "sim/handset.h"

namespace sim {

std::optional<Reply> answer_fs_format(FlashFs&, const FsCall&) { return refusal(); }
std::optional<Reply> answer_fs_make_directory(FlashFs&, const FsCall&) { return refusal(); }
std::optional<Reply> answer_fs_directory(FlashFs&, const FsCall&) { return refusal(); }
std::optional<Reply> answer_fs_remove(FlashFs&, const FsCall&) { return refusal(); }
std::optional<Reply> answer_fs_open(FlashFs&, const FsCall&) { return refusal(); }
std::optional<Reply> answer_fs_write(FlashFs&, std::span<const std::uint8_t>) { return refusal(); }
std::optional<Reply> answer_fs_close(FlashFs&, std::span<const std::uint8_t>) { return refusal(); }

}  // namespace sim
