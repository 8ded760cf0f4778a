#include "link/link.h"
#include "platform/serial_operations.h"
#include "platform/text_format.h"

namespace {
constexpr long kBaudRate = 115200;
constexpr int kParityNone = 0;
constexpr int kDataBits = 8;
constexpr int kStopBits = 1;
// The first three ports carry the big queues, the others the small ones.
constexpr int kLargeQueue = 65535;
constexpr int kSmallQueue = 512;
constexpr int kLastLargeQueuePort = 3;
}  // namespace

void config_comport(int port) {
  // Taken as a whole int, so that no out-of-range number can wrap into 1..8.
  if (port < platform::kLowestPort || port > platform::kHighestPort) return;
  int queue = port <= kLastLargeQueuePort ? kLargeQueue : kSmallQueue;
  std::string name = platform::strprintf("COM%d", port);
  platform::OpenComConfig(port, name.c_str(), kBaudRate, kParityNone, kDataBits, kStopBits, queue,
                          queue);
}
