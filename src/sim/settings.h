// Settings of the simulated handset that tests and the demo choose
// ("--set KEY=VALUE" on the simulator's command line).
#pragma once

#include <string>

#include "sim/handset_state.h"

namespace sim {

// Applies one setting; false with a reason in *error for an unknown key or a bad value.
bool apply_setting(HandsetState& state, const std::string& key, const std::string& value,
                   std::string* error);

// One line per key, for the simulator's usage text.
std::string settings_help();

}  // namespace sim
