// The operator GUI in process, on Qt's offscreen platform: the real panel
// file, the callbacks, a simulated handset behind every port the GUI opens,
// a fake clock, and a start folder of the test's own. Tests drive the panels
// from inside the event loops (the loops nest as in the tool) and read the
// controls back.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "platform/clock.h"
#include "platform/date_time.h"
#include "platform/serial_memory_backend.h"
#include "platform/qt_panels.h"
#include "platform/serial_operations.h"
#include "platform/run_panel.h"
#include "sim/faults.h"
#include "sim/handset.h"
#include "sim/in_process.h"
#include "sim/simulated_line.h"
#include "support/temp_dir.h"
#include "station/customer_definition.h"
#include "ui/operator_callbacks.h"
#include "ui/panels.h"

namespace testing_support {

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::set_time_source(&clock);
    platform::set_user_interface(&panels);
    panels.record_popups_only(true);
    // Every port the GUI opens reaches the simulated handset.
    platform::set_device_opener([this](int, const platform::SerialSettings&, std::string*) {
      auto port = std::make_unique<platform::MemorySerialDevice>();
      sim::connect(line, *port);
      return std::unique_ptr<platform::SerialDevice>(std::move(port));
    });
  }
  void TearDown() override {
    platform::close_all_ports();
    platform::set_device_opener(nullptr);
    platform::set_user_interface(nullptr);
    platform::set_time_source(nullptr);
    platform::set_fixed_local_time(nullptr);
  }

  // Runs start-up with `inside` called in the selection panel's event loop.
  // A loop left running past a few seconds fails the test instead of hanging.
  int run_gui(std::function<void()> inside, const std::string& panel_file = FFSLOAD_PANEL_FILE) {
    QTimer::singleShot(0, inside);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
      ADD_FAILURE() << "an event loop was still running";
      for (int i = 0; i < 4; ++i) platform::QuitUserInterface(0);
    });
    watchdog.start(10000);
    return ui::main(panel_file);
  }

  // Calls `inside` in the next event loop to run (the run panel's, when
  // called just before a control that opens it).
  static void in_next_loop(std::function<void()> inside) { QTimer::singleShot(0, inside); }

  // The station: custdefine, scripts and customer folders.
  void station(const std::string& custdefine) { TempDir::write("custdefine", custdefine); }
  static void customer_folder(const std::string& name, const std::string& ma_no) {
    std::filesystem::create_directory(name);
    TempDir::write(name + "/MA_NO", ma_no);
  }

  // Sets the selection panel's fields as the operator would, each confirmed.
  void choose(int customer_number, int port, int sub_number = 0) {
    platform::SetCtrlVal(ui::select_panel(), ui::kCustomerControl, customer_number);
    customer(ui::select_panel(), ui::kCustomerControl, platform::kEventCommit, nullptr, 0, 0);
    platform::SetCtrlVal(ui::select_panel(), ui::kSubNumberControl, sub_number);
    platform::SetCtrlVal(ui::select_panel(), ui::kPortControl, port);
  }
  // Clicks a button of a panel (its callback runs through the panel).
  void press(int panel, int control) {
    auto* button = qobject_cast<QAbstractButton*>(widget(panel, control));
    ASSERT_NE(button, nullptr) << "control " << control;
    button->click();
  }
  QWidget* widget(int panel, int control) { return panels.control_widget(panel, control); }
  std::string value(int panel, int control) {
    std::string v;
    platform::GetCtrlVal(panel, control, &v);
    return v;
  }
  int attribute(int panel, int control, int attr) {
    int v = 0;
    platform::GetCtrlAttribute(panel, control, attr, &v);
    return v;
  }
  std::vector<std::string> log() {
    std::vector<std::string> lines;
    int count = 0;
    platform::GetNumTextBoxLines(platform::run_panel(), platform::kRunLogControl, &count);
    for (int i = 0; i < count; ++i) {
      std::string text;
      platform::GetTextBoxLine(platform::run_panel(), platform::kRunLogControl, i, &text);
      lines.push_back(text);
    }
    return lines;
  }
  int log_colour() {
    return attribute(platform::run_panel(), platform::kRunLogControl, platform::kAttrBackColor);
  }
  void fault(const std::string& text) {
    std::string error;
    auto rule = sim::parse_fault(text, &error);
    ASSERT_TRUE(rule) << error;
    line.faults().add(*rule);
  }

  TempDir dir;
  platform::FakeTime clock;
  platform::QtPanels panels;
  sim::Handset handset;
  sim::SimulatedLine line{handset};
};

}  // namespace testing_support
