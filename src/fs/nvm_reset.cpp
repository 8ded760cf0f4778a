#include "fs/nvm_reset.h"

#include <array>

#include "fs/request.h"
#include "link/command_support.h"
#include "link/link.h"

namespace fs {

namespace {

// The NVM reset is a parameter write with a head of its own.
constexpr std::uint8_t kNvmResetRequest = wire::kParameterWriteRequest;
constexpr std::uint8_t kNvmResetHead = 0x3C;
constexpr double kDirectoryTimeout = 0.5;
constexpr double kRemoveTimeout = 2.0;
constexpr double kResetTimeout = 1.2;
constexpr double kPauseBeforeReset = 0.5;

// Up to five attempts of one exchange, with no pause between them.
int five_attempts(wire::Link& link, std::uint8_t request_id, std::span<const std::uint8_t> head,
                  std::span<const std::uint8_t> body, ReplyLayout layout, double timeout) {
  std::array<std::uint8_t, 4> reply_head{};
  std::array<std::uint8_t, 4> reply_data{};
  return wire::retry(wire::kAttemptCount,
                     [&] {
                       return link.exchange(request_id, head, body,
                                            std::span(reply_data).first(layout.data),
                                            std::span(reply_head).first(layout.head), timeout);
                     })
      .status;
}

int five_attempts(wire::Link& link, const FsRequest& request, ReplyLayout layout, double timeout) {
  return five_attempts(link, kFsRequest, request.head(), request.body(), layout, timeout);
}

}  // namespace

int RemoveNvmFile(wire::Link& link) {
  // Both texts are fixed and short: their requests always fit.
  const int status =
      five_attempts(link, *directory_request("mmi"), kDirectoryReply, kDirectoryTimeout);
  if (status != 0) return status;
  return five_attempts(link, *remove_request("/mmi/NvmPreset"), kRemoveReply, kRemoveTimeout);
}

int resetnvm(wire::Link& link, const std::string&) {
  if (RemoveNvmFile(link) != 0) return kStatusNvmFileNotRemoved;
  link.pause(kPauseBeforeReset);
  const std::array<std::uint8_t, 1> head{kNvmResetHead};
  return five_attempts(link, kNvmResetRequest, head, {}, ReplyLayout{1, 0}, kResetTimeout);
}

}  // namespace fs
