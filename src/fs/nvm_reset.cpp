#include "fs/nvm_reset.h"

#include <array>

#include "link/command_support.h"
#include "fs/request.h"
#include "link/link.h"
#include "platform/clock.h"

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
int five_attempts(std::uint8_t request_id, std::span<const std::uint8_t> head,
                  std::span<const std::uint8_t> body, ReplyLayout layout, double timeout) {
  std::array<std::uint8_t, 4> reply_head{};
  std::array<std::uint8_t, 4> reply_data{};
  return wire::retry(wire::kAttemptCount,
                         [&] {
                           return exchange(request_id, head, body,
                                           std::span(reply_data).first(layout.data),
                                           std::span(reply_head).first(layout.head), timeout);
                         })
      .status;
}

int five_attempts(const FsRequest& request, ReplyLayout layout, double timeout) {
  return five_attempts(kFsRequest, request.head(), request.body(), layout, timeout);
}

}  // namespace

int RemoveNvmFile() {
  // Both texts are fixed and short: their requests always fit.
  const int status = five_attempts(*directory_request("mmi"), kDirectoryReply, kDirectoryTimeout);
  if (status != 0) return status;
  return five_attempts(*remove_request("/mmi/NvmPreset"), kRemoveReply, kRemoveTimeout);
}

int resetnvm(const std::string&) {
  if (RemoveNvmFile() != 0) return kStatusNvmFileNotRemoved;
  platform::Delay(kPauseBeforeReset);
  const std::array<std::uint8_t, 1> head{kNvmResetHead};
  return five_attempts(kNvmResetRequest, head, {}, ReplyLayout{1, 0}, kResetTimeout);
}

}  // namespace fs
