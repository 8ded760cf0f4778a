#include "app/operator_gui.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "platform/folders.h"
#include "platform/qt_panels.h"
#include "platform/rs232.h"
#include "ui/operator_callbacks.h"
#include "ui/panels.h"

bool display_available() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

int run_operator_gui(int argc, char** argv) {
  if (!display_available()) {
    std::fprintf(stderr,
                 "ffsload: no display to show the panels on (DISPLAY is not set); "
                 "\"ffsload run\" works without one\n");
    return -1;
  }
  QApplication app(argc, argv);
  // The tool ends when the operator exits, not when a panel is swapped.
  QApplication::setQuitOnLastWindowClosed(false);
  int status = -1;
  {
    platform::QtPanels panels;
    platform::set_user_interface(&panels);
    status = ui::main(platform::program_folder() + "/" + ui::kPanelFileName);
    platform::set_user_interface(nullptr);
  }
  platform::close_all_ports();
  return status;
}
