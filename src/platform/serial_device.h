// One open serial line, as the serial-port operations use it. Implemented by
// the POSIX tty back end and by the in-memory port of the tests.
#pragma once

#include <cstdint>
#include <span>

namespace platform {

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  virtual void flush_input() = 0;
  virtual void flush_output() = 0;
  // Writes all bytes; returns the count written or a negative value on error.
  virtual int write(std::span<const std::uint8_t> bytes) = 0;
  // Bytes that can be read now (at least one whenever any is waiting; a back
  // end may hand out what it already took from the line before asking it for
  // more); negative when the line is gone (hang-up, error).
  virtual int input_length() = 0;
  // One byte 0..255, or negative on error or when nothing is waiting.
  virtual int read_byte() = 0;
  // Blocks until input is waiting, the line fails, or max_ms have passed.
  // Never spins: this is what keeps the CPU idle while a reply is awaited.
  virtual void wait_for_input(long max_ms) = 0;
  // True once the line has gone dead (a USB adapter pulled out, the other end
  // closed): nothing more will pass until the device is opened again.
  virtual bool gone() const { return false; }
};

}  // namespace platform
