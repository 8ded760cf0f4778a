// How the command line takes a PIN: one line from a descriptor a script
// hands over (--pin-fd N), else typed on the terminal without echo. Never
// from the command line or the environment, where other users of the PC
// can read it.
#pragma once

#include <optional>
#include <string>

#include "people/pin.h"

namespace cli {

// Reads `whose` PIN ("the PIN of anna") into *pin. A new PIN (`confirm`) is
// typed twice on the terminal; from a descriptor it is one line. False with
// *why when there is none to read: no descriptor and no terminal, a line
// too long, the descriptor ended or unreadable, two typings that differ.
bool read_pin(std::optional<int> fd, const std::string& whose, bool confirm, people::Pin* pin,
              std::string* why);

}  // namespace cli
