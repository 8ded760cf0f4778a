// The unit field, the operator's id and the fixture alarm on the panels.
#include "ui/unit_controls.h"

#include <cstdio>

#include "cfx/endpoint_events.h"
#include "link/run_log.h"
#include "platform/run_panel.h"
#include "platform/sounds.h"
#include "platform/user_interface.h"
#include "records/fixture_alarm.h"
#include "run/recording.h"
#include "run/run_session.h"
#include "ui/operator_callbacks.h"
#include "ui/panels.h"

using namespace platform;

namespace ui {

namespace {

station::StationSettings g_settings;
run::RunContext g_panel_context;

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

void show_alarm(int port, const records::FixtureAlarm& alarm) {
  if (!alarm.raised) {
    SetCtrlVal(run_panel(), kFixtureAlarmControl, "");
    SetCtrlAttribute(run_panel(), kFixtureAlarmControl, kAttrVisible, 0);
    return;
  }
  SetCtrlVal(run_panel(), kFixtureAlarmControl, records::fixture_alarm_lines(port, alarm));
  SetCtrlAttribute(run_panel(), kFixtureAlarmControl, kAttrVisible, 1);
}

// The run under way, then its result as a word, a sign and a sound: the
// operator at the fixture hears it and need not tell red from green. A run
// that could not start is no pass: a handset to do again, as a red one is.
void run_and_tell(const run::RunContext& context) {
  SetRunState(run_panel(), kRunStateControl, RunState::kRunning);
  ProcessDrawEvents();
  const run::RunResult result = run::run_script(context);
  const bool pass = result.outcome == run::RunOutcome::kGreen;
  SetRunState(run_panel(), kRunStateControl, pass ? RunState::kPass : RunState::kFail);
  play_sound(pass ? Sound::kPass : Sound::kFail);
}

void refuse(const OperatorText& why) {
  SetCtrlVal(run_panel(), kUnitStatusControl, why);
  SetActiveCtrl(run_panel(), kUnitFieldControl);
}

}  // namespace

run::RunContext& panel_run_context() {
  return g_panel_context;
}

bool load_station_settings() {
  const station::StationSettingsFile file = station::read_station_settings();
  if (const std::string refusal = file.refusal(); !refusal.empty()) {
    std::fprintf(stderr, "ffsload: %s\n", refusal.c_str());
    ErrorPopup({"panels.settings_refused", {refusal}});
    return false;
  }
  g_settings = file.settings;
  use_sounds(g_settings.sound);
  g_panel_context.cfx = g_settings.cfx;
  return true;
}

void announce_to_factory_network() {
  std::string error;
  if (!cfx::queue_endpoint_connected(g_panel_context.station_folder, g_settings.cfx,
                                     run::now_utc_ms(), &error)) {
    // Before any run panel: the station's own log hears of it.
    wire::PanelRunLog().notice({"cfx.endpoint_not_queued", {error}});
  }
}

const station::StationSettings& station_settings() {
  return g_settings;
}

void prepare_operator_field() {
  if (g_settings.operator_id == station::Asking::kOff) {
    SetCtrlAttribute(ui::select_panel(), kOperatorControl, kAttrVisible, 0);
    return;
  }
  SetCtrlAttribute(ui::select_panel(), kOperatorControl, kAttrVisible, 1);
  SetActiveCtrl(ui::select_panel(), kOperatorControl);
}

bool take_operator_id() {
  if (g_settings.operator_id == station::Asking::kOff) {
    g_panel_context.operator_id.reset();
    return true;
  }
  std::string id;
  GetCtrlVal(ui::select_panel(), kOperatorControl, &id);
  id = trimmed(id);
  OperatorText why;
  if (id.empty()) {
    if (g_settings.operator_id == station::Asking::kOptional) {
      g_panel_context.operator_id.reset();
      return true;
    }
    why = {"operator.required", {}};
  } else if (const std::string problem = station::operator_id_problem(id); !problem.empty()) {
    why = {"as_is", {problem}};
  }
  if (!why.empty()) {
    ErrorPopup(why);
    SetActiveCtrl(ui::select_panel(), kOperatorControl);
    return false;
  }
  g_panel_context.operator_id = id;
  return true;
}

bool prepare_run_panel(int port) {
  std::string id;
  GetCtrlVal(ui::select_panel(), kOperatorControl, &id);
  id = trimmed(id);
  const bool show_operator = g_settings.operator_id != station::Asking::kOff;
  SetCtrlVal(run_panel(), kOperatorNameControl, id.empty() ? "-" : id);
  SetCtrlAttribute(run_panel(), kOperatorNameControl, kAttrVisible, show_operator ? 1 : 0);
  const bool asks_unit = g_settings.unit_serial != station::Asking::kOff;
  SetCtrlAttribute(run_panel(), kUnitFieldControl, kAttrVisible, asks_unit ? 1 : 0);
  int shown = 0;
  GetCtrlAttribute(run_panel(), kUnitFieldControl, kAttrVisible, &shown);
  if (asks_unit && shown == 0) {
    ErrorPopup({"panels.no_unit_field",
                {station::kStationSettingsFile, std::to_string(kUnitFieldControl)}});
    return false;
  }
  SetCtrlVal(run_panel(), kUnitStatusControl, "");
  SetRunState(run_panel(), kRunStateControl, RunState::kNone);
  g_panel_context.fixture_alarm_runs = g_settings.fixture_alarm;
  show_alarm(port, run::read_fixture_alarm(port, g_panel_context.records_option,
                                           g_settings.fixture_alarm));
  g_panel_context.notices.unit = [](const OperatorText& text) {
    SetCtrlVal(run_panel(), kUnitStatusControl, text);
  };
  g_panel_context.notices.alarm = [](int alarm_port, const records::FixtureAlarm& alarm) {
    show_alarm(alarm_port, alarm);
  };
  return true;
}

void run_with_unit() {
  if (g_settings.unit_serial == station::Asking::kOff) {
    run_and_tell(g_panel_context);
    return;
  }
  std::string serial;
  GetCtrlVal(run_panel(), kUnitFieldControl, &serial);
  // A scanner may send CR before its Enter; blanks around a serial are not part of it.
  serial = trimmed(serial);
  std::optional<std::string> unit;
  if (serial.empty()) {
    if (g_settings.unit_serial == station::Asking::kRequired) {
      refuse({"unit.scan_first", {}});
      return;
    }
  } else if (const std::string why = station::unit_serial_problem(g_settings, serial);
             !why.empty()) {
    refuse({"unit.refused", {why}});
    return;
  } else {
    unit = serial;
  }
  SetCtrlVal(run_panel(), kUnitStatusControl,
             unit ? OperatorText{"unit.serial", {*unit}} : OperatorText{});
  run::RunContext context = g_panel_context;
  context.unit_serial = unit;
  run_and_tell(context);
  SetCtrlVal(run_panel(), kUnitFieldControl, "");
  SetActiveCtrl(run_panel(), kUnitFieldControl);
}

}  // namespace ui

int UNIT(int, int, int event, void*, int, int) {
  if (event != kEventCommit) return 0;
  ui::run_with_unit();
  return 0;
}

int OPERATOR(int, int, int event, void*, int, int) {
  if (event != kEventCommit) return 0;
  // The id is taken when the run panel opens; Enter moves on to the customer.
  SetActiveCtrl(ui::select_panel(), ui::kCustomerControl);
  return 0;
}
