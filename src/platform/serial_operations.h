// The serial-port operations that the link calls (OpenComConfig, ComWrt,
// ComRdByte, ...), over numbered ports. Which device stands behind a port number is decided by the
// installed opener: the real one opens a tty, tests install in-memory lines.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "platform/serial_device.h"

namespace platform {

constexpr int kLowestPort = 1;
constexpr int kHighestPort = 8;

// Negative results of the operations below.
constexpr int kErrPortNotOpen = -2;
constexpr int kErrOpenFailed = -3;
constexpr int kErrIo = -4;

struct SerialSettings {
  long baud = 115200;
  int parity = 0;  // 0 none
  int data_bits = 8;
  int stop_bits = 1;
  int input_queue_size = 512;
  int output_queue_size = 512;
};

// Opens the device behind a port number; on failure returns nullptr and says
// why in plain words (for the operator) in *error.
using DeviceOpener = std::function<std::unique_ptr<SerialDevice>(
    int port, const SerialSettings& settings, std::string* error)>;

// The opener used by OpenComConfig; the default opens a POSIX tty (see serial_port_config.h).
void set_device_opener(DeviceOpener opener);
// Puts a device behind a port directly (tests); the port then counts as open.
void install_port(int port, std::shared_ptr<SerialDevice> device);
// Closes every port (tests, and the end of a process).
void close_all_ports();
// True when the port has no usable device: it never opened, or its device
// has gone (hung up). Opening it again may bring it back.
bool port_needs_opening(int port);

// Why the last OpenComConfig on this port failed; empty when it succeeded.
std::string last_open_error(int port);

int OpenComConfig(int port, const char* device_name, long baud, int parity, int data_bits,
                  int stop_bits, int input_queue_size, int output_queue_size);
int FlushInQ(int port);
int FlushOutQ(int port);
int ComWrt(int port, std::span<const std::uint8_t> bytes);
int GetInQLen(int port);
int ComRdByte(int port);
// Blocks until input arrives on the port or max_ms pass, so that a wait for a
// reply byte costs no CPU.
void ComWaitForInput(int port, long max_ms);

}  // namespace platform
