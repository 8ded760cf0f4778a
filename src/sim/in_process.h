// Wires a simulated line to an in-memory serial port, so the tool and the
// simulated handset talk inside one process on the installed clock.
#pragma once

#include "platform/serial_memory_backend.h"
#include "sim/simulated_line.h"

namespace sim {

void connect(SimulatedLine& line, platform::MemorySerialDevice& port);

}  // namespace sim
