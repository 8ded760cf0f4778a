// Start-up and the selection panel's customer callback.
#include <cstdint>
#include <cstdio>

#include "platform/user_interface.h"
#include "station/customer_definition.h"
#include "ui/operator_callbacks.h"
#include "ui/panels.h"
#include "ui/unit_controls.h"

int selectPanel = -1;

namespace ui {

std::string panel_file;

int main(const std::string& panel_file_path) {
  using namespace platform;
  panel_file = panel_file_path;
  set_callback_table(callback_table());
  if (!load_station_settings()) return -1;
  announce_to_factory_network();
  selectPanel = LoadPanel(0, panel_file, kSelectionPanelNumber);
  if (selectPanel < 0) {
    std::fprintf(stderr, "ffsload: cannot load the selection panel: %s\n",
                 user_interface().last_error().c_str());
    return -1;
  }
  DisplayPanel(selectPanel);
  SetCtrlAttribute(selectPanel, kSubNumberControl, kAttrVisible, 0);
  prepare_operator_field();
  if (!station::read_index_qm()) {
    ErrorPopup({"file.custdefine_missing", {}});
    return 0;
  }
  RunUserInterface();
  return 0;
}

}  // namespace ui

int customer(int, int, int event, void*, int, int) {
  using namespace platform;
  if (event != kEventCommit) return 0;
  int value = 0;
  GetCtrlVal(selectPanel, ui::kCustomerControl, &value);
  // The panel holds the customer number as a signed 8-bit value.
  const int number = static_cast<std::int8_t>(value);
  SetCtrlAttribute(selectPanel, ui::kSubNumberControl, kAttrVisible, number == index_qm ? 1 : 0);
  return 0;
}
