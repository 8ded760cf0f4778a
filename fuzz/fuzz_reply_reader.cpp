// Any byte stream, any requested counts: the reply reader must end with 0 or
// 100 and never touch memory outside the caller's buffers.
#include <cstdint>
#include <memory>
#include <vector>

#include "link/link.h"
#include "platform/clock.h"
#include "platform/serial_memory_backend.h"
#include "platform/serial_operations.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  static platform::FakeTime clock;
  platform::set_time_source(&clock);
  auto port = std::make_shared<platform::MemorySerialDevice>();
  platform::install_port(1, port);
  wire::Link link(1);
  const std::uint8_t id = data[0];
  // Exactly-sized heap buffers, so the sanitizer sees any step outside them.
  std::vector<std::uint8_t> head(data[1] % 8);
  std::vector<std::uint8_t> body(data[2] % 130);
  port->deliver({data + 3, size - 3});
  if (size % 7 == 0) port->hang_up_after_pending();
  const std::uint8_t status = link.handle_response(body, head, id, 0.05);
  if (status != 0 && status != 100) __builtin_trap();
  platform::close_all_ports();
  return 0;
}
