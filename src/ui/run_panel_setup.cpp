// From the selection panel to the run panel: the port, the customer's script
// and "MA_NO", and the run panel's nested event loop.
#include <cstdint>
#include <cstdio>

#include "link/link.h"
#include "platform/run_panel.h"
#include "platform/serial_operations.h"
#include "platform/serial_port_config.h"
#include "platform/text_format.h"
#include "platform/user_interface.h"
#include "run/imei_journal.h"
#include "run/recording.h"
#include "station/customer_choice.h"
#include "station/customer_definition.h"
#include "ui/operator_callbacks.h"
#include "ui/panels.h"
#include "ui/unit_controls.h"

namespace {

using namespace platform;

// Hidden in this order, then one is shown.
constexpr int kIndicators[] = {ui::kIndicatorSubNumber, ui::kIndicatorPyrel,   ui::kIndicatorDov,
                               ui::kIndicatorUnused1,   ui::kIndicatorUnused2, ui::kIndicatorZu4};

int indicator_for(int sub_number, const std::string& script) {
  if (sub_number != 0) return ui::kIndicatorSubNumber;
  if (script == "dov.tms") return ui::kIndicatorDov;
  if (script == "pyrel.tms") return ui::kIndicatorPyrel;
  if (script == "zu4.tms") return ui::kIndicatorZu4;
  return ui::kIndicatorDov;
}

// What the operator must know about the port beyond the run log: the run
// still goes, and its exchanges fail, but the reason is told in plain words.
OperatorText port_status(int port) {
  const std::string number = std::to_string(port);
  if (port < kLowestPort || port > kHighestPort) {
    return {"port.outside_range",
            {number, std::to_string(kLowestPort), std::to_string(kHighestPort)}};
  }
  const std::string why = last_open_error(port);
  if (why.empty()) return {"port.device", {number, device_path_for_port(port)}};
  return {"port.cannot_be_opened", {number, why}};
}

// What the operator must know beside the run log during the runs (an IMEI
// left only on the PC, a port that cannot be opened again): on the panel's
// port status line, and on stderr for the station's own log.
void notice_on_run_panel(const OperatorText& text) {
  SetCtrlVal(run_panel(), ui::kPortStatusControl, text);
  std::fprintf(stderr, "ffsload: %s\n", text.english().c_str());
}

bool custdefine_opens() {
  std::FILE* f = std::fopen(station::kCustDefineFile, "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

}  // namespace

int COMPORT(int, int, int event, void*, int, int) {
  if (event != kEventCommit) return 0;
  int port = 0, number = 0, shown = 0, sub = 0;
  GetCtrlVal(ui::select_panel(), ui::kPortControl, &port);
  GetCtrlVal(ui::select_panel(), ui::kCustomerControl, &number);
  GetCtrlAttribute(ui::select_panel(), ui::kSubNumberControl, kAttrVisible, &shown);
  if (shown == 1) GetCtrlVal(ui::select_panel(), ui::kSubNumberControl, &sub);
  // Both are signed 8-bit values on the panel.
  const int customer_number = static_cast<std::int8_t>(number);
  const int sub_number = static_cast<std::int8_t>(sub);

  if (!custdefine_opens()) {
    ErrorPopup({"file.custdefine_missing", {}});
    return 0;
  }
  if (!ui::take_operator_id()) return 0;
  set_run_panel(LoadPanel(0, ui::panel_file(), ui::kRunPanelNumber));
  if (run_panel() < 0) {
    std::fprintf(stderr, "ffsload: cannot load the run panel: %s\n",
                 user_interface().last_error().c_str());
    return -1;
  }
  config_comport(port);
  for (int indicator : kIndicators) SetCtrlAttribute(run_panel(), indicator, kAttrVisible, 0);
  if (port >= kLowestPort && port <= ui::kLastLabelledPort) {
    SetCtrlVal(run_panel(), ui::kPortLabelControl, strprintf("COM %d", port));
  }

  std::string script;
  const station::CustomerLookup found =
      station::find_customer(customer_number, sub_number, &script);
  if (found != station::CustomerLookup::kFound) {
    // The run panel loaded for nothing is released; the port stays configured.
    DiscardPanel(run_panel());
    ErrorPopup({found == station::CustomerLookup::kNoFile ? "file.custdefine_missing"
                                                          : "customer.not_found",
                {}});
    return 0;
  }
  const std::string ma_no = station::read_ma_no(script);
  // Everything the runs of this panel depend on, tmsfile and comport among
  // them; each Run copies it.
  run::RunContext& context = ui::panel_run_context();
  context.port = port;
  context.script = script;
  context.customer_key = station::customer_key(customer_number, sub_number, ui::index_qm());
  context.ma_no = ma_no;
  context.check_reply_checksum = comports_checks_reply_checksum();
  context.front_end = "panels";
  context.notices.notice = notice_on_run_panel;
  // An IMEI left pending by a run that died, on a handset without one: only
  // the operator at the fixture can say whether this is its handset.
  context.pending_answer = run::ask_in_confirm_popup;
  SetCtrlVal(run_panel(), ui::kMaNoControl, ma_no);
  SetCtrlVal(run_panel(), ui::kScriptNameControl, script);
  SetCtrlAttribute(run_panel(), indicator_for(sub_number, script), kAttrVisible, 1);
  SetCtrlVal(run_panel(), ui::kPortStatusControl, port_status(port));
  if (!ui::prepare_run_panel(port)) {
    DiscardPanel(run_panel());
    context.pending_answer = nullptr;
    return 0;
  }

  DiscardPanel(ui::select_panel());
  DisplayPanel(run_panel());
  if (ui::station_settings().unit_serial != station::Asking::kOff) {
    SetActiveCtrl(run_panel(), ui::kUnitFieldControl);
  }
  RunUserInterface();
  context.notices = {};
  context.pending_answer = nullptr;
  return 0;
}
