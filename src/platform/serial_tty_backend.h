// A serial line on a POSIX tty (a real port, a USB adapter or a pseudo-terminal).
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>

#include "platform/serial_operations.h"
#include "platform/serial_device.h"

namespace platform {

class PosixSerialDevice final : public SerialDevice {
 public:
  // Opens path for exclusive use, raw 8N1 at the given baud rate. Returns
  // nullptr with an operator-readable reason in *error on failure.
  static std::unique_ptr<PosixSerialDevice> open(const std::string& path,
                                                 const SerialSettings& settings,
                                                 std::string* error);
  ~PosixSerialDevice() override;
  PosixSerialDevice(const PosixSerialDevice&) = delete;
  PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

  void flush_input() override;
  void flush_output() override;
  int write(std::span<const std::uint8_t> bytes) override;
  int input_length() override;
  int read_byte() override;
  void wait_for_input(long max_ms) override;
  bool gone() const override { return hung_up_; }

 private:
  explicit PosixSerialDevice(int fd) : fd_(fd) {}
  // Takes what the line holds into in_, up to its size; false when the line
  // has failed.
  bool fill();
  int fd_;
  bool hung_up_ = false;
  // Bytes taken from the line in one read and not yet handed out: a reply is
  // read a byte at a time, and a system call for each byte would cost a
  // station's eight ports more processor time than the rest of their runs.
  std::array<std::uint8_t, 512> in_{};
  std::size_t in_next_ = 0;
  std::size_t in_end_ = 0;
};

// The default opener: resolves the port number to a device path and opens it.
std::unique_ptr<SerialDevice> open_port_device(int port, const SerialSettings& settings,
                                               std::string* error);

}  // namespace platform
