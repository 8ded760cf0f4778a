// The fixture alarm on the board: the records' own rule, applied to the
// ended runs the line model keeps for each port.
#pragma once

#include "board/line_model.h"

namespace board {

// The rule with its K (0 turns the alarm off).
AlarmRule fixture_alarm_rule(int k);

// How many ended runs of each port the model must keep for the rule to see
// a streak well beyond K.
std::size_t runs_kept_for_alarm(int k);

}  // namespace board
