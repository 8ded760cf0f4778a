// A tool and a simulated handset in one process: an in-memory port on port
// `fixture_port` with the tool's link to it, a fake clock that only moves
// while something waits, and a headless run log. Tests talk to the commands
// as the runner would and look at the requests the handset received and the
// lines the run log got.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fs/imei_guard.h"
#include "link/link.h"
#include "platform/clock.h"
#include "platform/headless_ui.h"
#include "platform/run_panel.h"
#include "platform/serial_memory_backend.h"
#include "platform/serial_operations.h"
#include "sim/handset.h"
#include "sim/in_process.h"
#include "sim/simulated_line.h"

namespace testing_support {

class SimulatedHandsetTest : public ::testing::Test {
 protected:
  void SetUp() override { attach(3); }

  void TearDown() override {
    platform::close_all_ports();
    platform::set_user_interface(nullptr);
    platform::set_time_source(nullptr);
  }

  // Puts the simulated handset on another port number (the per-port rules).
  void attach(int port_number) {
    platform::close_all_ports();
    platform::set_time_source(&clock);
    platform::set_user_interface(&ui);
    port = std::make_shared<platform::MemorySerialDevice>();
    sim::connect(line, *port);
    platform::install_port(port_number, port);
    fixture_port = port_number;
    link = wire::Link(port_number);
  }

  sim::HandsetState& state() { return handset.state(); }
  const std::vector<sim::Request>& requests() const { return line.requests(); }
  std::vector<std::string> log() {
    return ui.control(platform::run_panel(), platform::kRunLogControl).lines;
  }
  long now() { return clock.now_ms(); }
  // Forgets the requests and log lines so far (several cases in one test).
  void line_clear() {
    line.clear_requests();
    line.faults().clear();
    ui.reset_text_box(platform::run_panel(), platform::kRunLogControl);
    port->clear_written();
  }
  void fault(const std::string& text) {
    std::string error;
    auto rule = sim::parse_fault(text, &error);
    ASSERT_TRUE(rule) << error;
    line.faults().add(*rule);
  }

  // Descriptors this process holds open: a command that left a file open
  // shows as one more.
  static int open_descriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
      ++n;
    }
    return n;
  }

  platform::FakeTime clock;
  platform::HeadlessUserInterface ui;
  int fixture_port = 3;  // the port number the handset is on
  // The run's link and IMEI guard, over the front end's IMEI_flag (0: no
  // IMEI backed up).
  wire::Link link{3};
  char IMEI_flag = 0;
  fs::ImeiGuard imei{IMEI_flag};
  std::shared_ptr<platform::MemorySerialDevice> port;
  sim::Handset handset;
  sim::SimulatedLine line{handset};
};

// Bytes from a list of values, for readable expectations.
inline std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

}  // namespace testing_support
