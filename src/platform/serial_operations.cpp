#include "platform/serial_operations.h"

#include <array>

#include "platform/clock.h"
#include "platform/serial_tty_backend.h"

namespace platform {

namespace {

struct PortSlot {
  std::shared_ptr<SerialDevice> device;
  std::string open_error;
};

std::array<PortSlot, kHighestPort + 1> g_ports;
DeviceOpener g_opener;

PortSlot* slot(int port) {
  if (port < kLowestPort || port > kHighestPort) return nullptr;
  return &g_ports[static_cast<std::size_t>(port)];
}

SerialDevice* device(int port) {
  PortSlot* s = slot(port);
  return s ? s->device.get() : nullptr;
}

}  // namespace

void set_device_opener(DeviceOpener opener) {
  g_opener = std::move(opener);
}

void install_port(int port, std::shared_ptr<SerialDevice> dev) {
  if (PortSlot* s = slot(port)) {
    s->device = std::move(dev);
    s->open_error.clear();
  }
}

void close_all_ports() {
  for (auto& s : g_ports) s = PortSlot{};
}

bool port_needs_opening(int port) {
  const SerialDevice* d = device(port);
  return d == nullptr || d->gone();
}

std::string last_open_error(int port) {
  PortSlot* s = slot(port);
  return s ? s->open_error : std::string("port number out of range");
}

int OpenComConfig(int port, const char* /*device_name*/, long baud, int parity, int data_bits,
                  int stop_bits, int input_queue_size, int output_queue_size) {
  PortSlot* s = slot(port);
  if (!s) return kErrOpenFailed;
  s->device.reset();  // reopening releases the earlier device and its lock first
  SerialSettings settings{baud, parity, data_bits, stop_bits, input_queue_size, output_queue_size};
  std::string error;
  std::unique_ptr<SerialDevice> opened =
      g_opener ? g_opener(port, settings, &error) : open_port_device(port, settings, &error);
  if (!opened) {
    s->open_error = error.empty() ? std::string("cannot open the port") : error;
    return kErrOpenFailed;
  }
  s->device = std::move(opened);
  s->open_error.clear();
  return 0;
}

int FlushInQ(int port) {
  SerialDevice* d = device(port);
  if (!d) return kErrPortNotOpen;
  d->flush_input();
  return 0;
}

int FlushOutQ(int port) {
  SerialDevice* d = device(port);
  if (!d) return kErrPortNotOpen;
  d->flush_output();
  return 0;
}

int ComWrt(int port, std::span<const std::uint8_t> bytes) {
  SerialDevice* d = device(port);
  if (!d) return kErrPortNotOpen;
  return d->write(bytes);
}

int GetInQLen(int port) {
  SerialDevice* d = device(port);
  if (!d) return kErrPortNotOpen;
  return d->input_length();
}

int ComRdByte(int port) {
  SerialDevice* d = device(port);
  if (!d) return kErrPortNotOpen;
  return d->read_byte();
}

void ComWaitForInput(int port, long max_ms) {
  if (SerialDevice* d = device(port)) {
    d->wait_for_input(max_ms);
  } else {
    // No device: nothing can arrive; let the caller's clock run out without spinning.
    time_source().sleep_ms(max_ms);
  }
}

}  // namespace platform
