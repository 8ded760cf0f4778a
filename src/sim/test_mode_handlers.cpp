#include "sim/handlers.h"
#include "sim/handset.h"

namespace sim {

std::optional<Reply> answer_test_mode(HandsetState& state, const Request& request) {
  switch (request.id) {
    case 0x20:  // bare request: an empty success
      return ok_reply();
    case 0x21:  // test-mode entry: mode, 0x00
      if (request.payload.size() != 2) return refusal();
      state.in_test_mode = true;
      state.test_mode_level = request.payload[0];
      return ok_reply();
    case 0x54:  // value, 0x00; one reply head byte
      if (request.payload.size() != 2) return refusal();
      state.last_se_value = request.payload[0];
      return ok_reply({0x54});
    default:
      return std::nullopt;
  }
}

}  // namespace sim
