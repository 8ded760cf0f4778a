#include "sim/in_process.h"

namespace sim {

void connect(SimulatedLine& line, platform::MemorySerialDevice& port) {
  port.set_peer([&line, &port](std::span<const std::uint8_t> bytes) {
    for (const Transmission& t : line.receive(bytes)) {
      port.deliver(t.bytes, t.gap_ms);
      if (t.hang_up_after) port.hang_up_after_pending();
    }
  });
}

}  // namespace sim
