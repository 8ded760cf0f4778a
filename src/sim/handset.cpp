#include "sim/handset.h"

#include "sim/handlers.h"

namespace sim {

namespace {
constexpr std::uint8_t kNvmResetHead = 0x3C;
}  // namespace

void Handset::restart() {
  FlashFs& fs = state_.fs;
  fs.open_for_write.reset();
  fs.write_buffer.clear();
  fs.open_for_read.reset();
  fs.read_position = 0;
  fs.format_armed = false;
}

std::optional<Reply> Handset::answer(const Request& request) {
  switch (request.id) {
    case 0x20:
    case 0x21:
    case 0x54:
      return answer_test_mode(state_, request);
    case 0x45:
      return answer_calibration(state_, request);
    case 0x52:
      if (!request.payload.empty() && request.payload[0] == kNvmResetHead) {
        return answer_nvm_reset(state_, request);
      }
      return answer_parameters(state_, request);
    case 0x23:
    case 0x32:
    case 0x33:
    case 0x42:
    case 0x43:
    case 0x50:
    case 0x53:
      return answer_parameters(state_, request);
    case 0x70:
      return answer_file_system(state_, request);
    default:
      return std::nullopt;  // unknown requests go unanswered
  }
}

}  // namespace sim
