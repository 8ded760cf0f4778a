// ffsload-gui: the windows of ffsload (the operator panels, the station grid
// and the yield report), over Qt. "ffsload" starts it when a window is asked
// for; it takes the same command line.
#include "app/grid_window.h"
#include "app/operator_gui.h"
#include "app/report_window_qt.h"
#include "cli/command_line.h"
#include "platform/display.h"
#include "records/yield_window.h"

int main(int argc, char** argv) {
  if (platform::display_available()) records::set_report_window(show_report_window_qt);
  cli::WindowFronts fronts;
  fronts.open_panels = run_operator_gui;
  fronts.open_grid = run_grid_window;
  return cli::run_command_line(argc, argv, fronts);
}
