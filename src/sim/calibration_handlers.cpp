#include "sim/handlers.h"
#include "sim/handset.h"

namespace sim {

namespace {
constexpr std::uint8_t kFirstValue = 0x32;
constexpr std::uint8_t kSecondValue = 0x3C;
}  // namespace

// 0x45 with the head bytes 32 00 or 3C 00: one battery calibration value,
// low byte first, after one head byte.
std::optional<Reply> answer_calibration(HandsetState& state, const Request& request) {
  const auto& p = request.payload;
  if (p.size() != 2 || p[1] != 0x00) return refusal();
  std::uint16_t value = 0;
  if (p[0] == kFirstValue) {
    value = state.battery_low;
  } else if (p[0] == kSecondValue) {
    value = state.battery_high;
  } else {
    return refusal();
  }
  return ok_reply({p[0]},
                  {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)});
}

}  // namespace sim
