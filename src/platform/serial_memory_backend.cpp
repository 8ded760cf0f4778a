#include "platform/serial_memory_backend.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/serial_operations.h"

namespace platform {

void MemorySerialDevice::deliver(std::span<const std::uint8_t> bytes, long gap_ms,
                                 long first_gap_ms) {
  // Bytes never overtake the ones already queued, like on a real wire.
  long due = std::max(clock(), last_due_ms_) + first_gap_ms;
  bool first = true;
  for (std::uint8_t b : bytes) {
    if (!first) due += gap_ms;
    first = false;
    pending_.push_back({due, b});
  }
  if (!bytes.empty()) last_due_ms_ = due;
}

bool MemorySerialDevice::line_dead() {
  if (hang_up_when_drained_ && pending_.empty()) hung_up_ = true;
  return hung_up_;
}

void MemorySerialDevice::flush_input() {
  long now = clock();
  while (!pending_.empty() && pending_.front().due_ms <= now) pending_.pop_front();
}

int MemorySerialDevice::write(std::span<const std::uint8_t> bytes) {
  if (line_dead()) return kErrIo;
  ++write_count_;
  written_.insert(written_.end(), bytes.begin(), bytes.end());
  if (peer_) peer_(bytes);
  return static_cast<int>(bytes.size());
}

int MemorySerialDevice::input_length() {
  if (line_dead()) return kErrIo;
  long now = clock();
  int n = 0;
  for (const Pending& p : pending_) {
    if (p.due_ms > now) break;
    ++n;
  }
  return n;
}

int MemorySerialDevice::read_byte() {
  if (line_dead()) return kErrIo;
  if (pending_.empty() || pending_.front().due_ms > clock()) return kErrIo;
  std::uint8_t b = pending_.front().byte;
  pending_.pop_front();
  return b;
}

void MemorySerialDevice::wait_for_input(long max_ms) {
  if (line_dead() || max_ms <= 0) return;
  long now = clock();
  long until = now + max_ms;
  if (!pending_.empty() && pending_.front().due_ms < until) until = pending_.front().due_ms;
  time_source().sleep_ms(until - now);
}

}  // namespace platform
