// The handset's answers, one family of requests per source file.
#pragma once

#include <optional>

#include "sim/frame_codec.h"
#include "sim/handset_state.h"

namespace sim {

// Test mode and timing: 0x20, 0x21, 0x54.
std::optional<Reply> answer_test_mode(HandsetState& state, const Request& request);
// Parameters and registers: 0x23, 0x32, 0x33, 0x42, 0x43, 0x50, 0x52 (not 0x3C), 0x53.
std::optional<Reply> answer_parameters(HandsetState& state, const Request& request);
// Calibration values: 0x45.
std::optional<Reply> answer_calibration(HandsetState& state, const Request& request);
// NVM reset: 0x52 with the head byte 0x3C.
std::optional<Reply> answer_nvm_reset(HandsetState& state, const Request& request);
// File-system requests: 0x70 (see fs_requests.h).
std::optional<Reply> answer_file_system(HandsetState& state, const Request& request);

}  // namespace sim
