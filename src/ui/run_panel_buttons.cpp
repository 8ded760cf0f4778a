// The run panel's buttons: Run, Exit and Save.
#include "platform/run_panel.h"
#include "platform/user_interface.h"
#include "records/yield_window.h"
#include "run/run_session.h"
#include "ui/operator_callbacks.h"
#include "ui/panels.h"
#include "ui/unit_controls.h"

using namespace platform;

int RUN(int, int, int event, void*, int, int) {
  if (event != kEventCommit) return 0;
  ui::run_with_unit();
  return 0;
}

int EXIT(int, int, int event, void*, int, int) {
  if (event != kEventCommit) return 0;
  // The first request ends the run panel's loop (inside COMPORT), the second
  // the selection panel's loop (inside main).
  QuitUserInterface(0);
  QuitUserInterface(0);
  return 0;
}

int Save(int, int, int event, void*, int, int) {
  if (event != kEventCommit) return 0;
  const run::SavedLog saved = run::save_run_log();
  if (saved.saved) {
    SetCtrlVal(run_panel(), ui::kSaveStatusControl, OperatorText{"log.saved", {saved.name}});
  } else {
    // A log the operator believes saved must not go missing unnoticed.
    SetCtrlVal(run_panel(), ui::kSaveStatusControl, OperatorText{"log.not_saved", {}});
    ErrorPopup({"file.cannot_write", {saved.name, saved.error}});
  }
  return 0;
}

int YIELD(int, int, int event, void*, int, int) {
  if (event != kEventCommit) return 0;
  // The last fortnight is what a shift looks back on; "ffsload report"
  // reaches any period.
  constexpr int kYieldDays = 14;
  std::string error;
  if (!records::show_recent_yield(kYieldDays, &error)) {
    ErrorPopup({"yield.cannot_show", {error}});
  }
  return 0;
}
