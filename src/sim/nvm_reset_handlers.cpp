#include "sim/handlers.h"
#include "sim/handset.h"

namespace sim {

namespace {
constexpr std::uint8_t kNvmResetHead = 0x3C;
}  // namespace

std::optional<Reply> answer_nvm_reset(HandsetState& state, const Request& request) {
  // The head byte 0x3C alone; one reply head byte (0x3C is neither 0x02 nor 0x10).
  if (request.payload.size() != 1 || request.payload[0] != kNvmResetHead) return refusal();
  ++state.nvm_resets;
  return ok_reply({kNvmResetHead});
}

}  // namespace sim
