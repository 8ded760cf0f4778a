// Start-up and the selection panel's customer callback.
#include <cstdint>
#include <cstdio>
#include <optional>

#include "platform/user_interface.h"
#include "station/customer_definition.h"
#include "ui/operator_callbacks.h"
#include "ui/panels.h"
#include "ui/unit_controls.h"

namespace ui {

namespace {
// The panels' state for the life of the window: the callbacks the panel
// file names reach it here.
int g_select_panel = -1;
std::string g_panel_file;
int g_index_qm = 0;
}  // namespace

int select_panel() {
  return g_select_panel;
}

const std::string& panel_file() {
  return g_panel_file;
}

int index_qm() {
  return g_index_qm;
}

int main(const std::string& panel_file_path) {
  using namespace platform;
  g_panel_file = panel_file_path;
  g_index_qm = 0;
  set_callback_table(callback_table());
  if (!load_station_settings()) return -1;
  announce_to_factory_network();
  g_select_panel = LoadPanel(0, g_panel_file, kSelectionPanelNumber);
  if (g_select_panel < 0) {
    std::fprintf(stderr, "ffsload: cannot load the selection panel: %s\n",
                 user_interface().last_error().c_str());
    return -1;
  }
  DisplayPanel(ui::select_panel());
  SetCtrlAttribute(ui::select_panel(), kSubNumberControl, kAttrVisible, 0);
  prepare_operator_field();
  const std::optional<int> qm = station::read_index_qm();
  if (!qm) {
    ErrorPopup({"file.custdefine_missing", {}});
    return 0;
  }
  g_index_qm = *qm;
  RunUserInterface();
  return 0;
}

}  // namespace ui

int customer(int, int, int event, void*, int, int) {
  using namespace platform;
  if (event != kEventCommit) return 0;
  int value = 0;
  GetCtrlVal(ui::select_panel(), ui::kCustomerControl, &value);
  // The panel holds the customer number as a signed 8-bit value.
  const int number = static_cast<std::int8_t>(value);
  SetCtrlAttribute(ui::select_panel(), ui::kSubNumberControl, kAttrVisible,
                   number == ui::index_qm() ? 1 : 0);
  return 0;
}
