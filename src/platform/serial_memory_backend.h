// An in-memory serial line for tests. What the tool writes goes to a peer
// callback (the in-process simulated handset); what the peer delivers becomes
// readable at a time on the installed clock, so trickled replies and silent
// lines play out on a fake clock without real waiting.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <vector>

#include "platform/serial_device.h"

namespace platform {

class MemorySerialDevice final : public SerialDevice {
 public:
  using Peer = std::function<void(std::span<const std::uint8_t>)>;

  void set_peer(Peer peer) { peer_ = std::move(peer); }
  // Queues bytes for the tool: the first after first_gap_ms from now, each
  // later one gap_ms after the one before.
  void deliver(std::span<const std::uint8_t> bytes, long gap_ms = 0, long first_gap_ms = 0);
  // The line goes dead: every later operation reports an error at once.
  void hang_up() { hung_up_ = true; }
  // The line goes dead once the bytes already queued have been read.
  void hang_up_after_pending() { hang_up_when_drained_ = true; }
  bool is_hung_up() const { return hung_up_; }

  // Everything the tool has written, in order, and how many writes it made.
  const std::vector<std::uint8_t>& written() const { return written_; }
  int write_count() const { return write_count_; }
  void clear_written() {
    written_.clear();
    write_count_ = 0;
  }

  void flush_input() override;
  void flush_output() override {}
  int write(std::span<const std::uint8_t> bytes) override;
  int input_length() override;
  int read_byte() override;
  void wait_for_input(long max_ms) override;
  bool gone() const override { return hung_up_; }

 private:
  struct Pending {
    long due_ms;
    std::uint8_t byte;
  };
  std::deque<Pending> pending_;
  std::vector<std::uint8_t> written_;
  int write_count_ = 0;
  long last_due_ms_ = 0;
  bool hung_up_ = false;
  bool hang_up_when_drained_ = false;
  bool line_dead();
  Peer peer_;
};

}  // namespace platform
