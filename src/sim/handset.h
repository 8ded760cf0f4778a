// The simulated handset: answers each request the way a handset in test mode
// does, from the state it keeps. Faults are applied by the line, not here.
#pragma once

#include <optional>

#include "sim/frame_codec.h"
#include "sim/handset_state.h"

namespace sim {

class Handset {
 public:
  // The reply to a request, or nothing when the handset ignores it.
  std::optional<Reply> answer(const Request& request);

  // A restart (power dip, watchdog): the flash keeps its files, but files
  // open for writing or reading and a half-done format are forgotten.
  void restart();

  HandsetState& state() { return state_; }
  const HandsetState& state() const { return state_; }

 private:
  HandsetState state_;
};

// Convenience for handlers.
inline Reply ok_reply(std::vector<std::uint8_t> head = {}, std::vector<std::uint8_t> data = {}) {
  return Reply{0, std::move(head), std::move(data)};
}
inline Reply refusal(std::uint8_t status = 1) {
  return Reply{status, {}, {}};
}

}  // namespace sim
