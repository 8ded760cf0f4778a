// The requests the simulated handset answers, by id, and who answers each:
// the handset's own table, kept apart from the tool's on purpose, so that a
// wrong id on either side is caught by the test that compares the two.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "sim/frame_codec.h"
#include "sim/handset_state.h"

namespace sim {

using Answer = std::optional<Reply> (*)(HandsetState& state, const Request& request);

struct RequestEntry {
  std::uint8_t id;
  const char* name;
  Answer answer;
};

std::span<const RequestEntry> request_table();

// The entry for `id`; nullptr for a request the handset does not know.
const RequestEntry* find_request(std::uint8_t id);

}  // namespace sim
