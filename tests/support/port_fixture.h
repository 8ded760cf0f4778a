// The link against a bare in-memory port: the test plays the handset by
// hand, byte for byte, on a fake clock.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "link/link.h"
#include "platform/clock.h"
#include "platform/headless_ui.h"
#include "platform/serial_memory_backend.h"
#include "platform/serial_operations.h"

namespace testing_support {

class BarePortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::set_time_source(&clock);
    platform::set_user_interface(&ui);
    port = std::make_shared<platform::MemorySerialDevice>();
    platform::install_port(4, port);
  }
  void TearDown() override {
    platform::close_all_ports();
    platform::set_user_interface(nullptr);
    platform::set_time_source(nullptr);
  }
  void reply(std::initializer_list<int> values, long gap_ms = 0) {
    std::vector<std::uint8_t> b;
    for (int v : values) b.push_back(static_cast<std::uint8_t>(v));
    port->deliver(b, gap_ms);
  }
  void reply(const std::vector<std::uint8_t>& b, long gap_ms = 0) { port->deliver(b, gap_ms); }

  platform::FakeTime clock;
  platform::HeadlessUserInterface ui;
  wire::Link link{4};
  std::shared_ptr<platform::MemorySerialDevice> port;
};

}  // namespace testing_support
