// A serial line on a POSIX tty (a real port, a USB adapter or a pseudo-terminal).
#pragma once

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
  int fd_;
  bool hung_up_ = false;
};

// The default opener: resolves the port number to a device path and opens it.
std::unique_ptr<SerialDevice> open_port_device(int port, const SerialSettings& settings,
                                               std::string* error);

}  // namespace platform
