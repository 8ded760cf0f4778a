#include "app/operator_gui.h"

#include <QApplication>
#include <cstdio>
#include <string>

#include "app/gui_language.h"
#include "app/sender_notice.h"
#include "cli/cfx_sender_child.h"
#include "platform/display.h"
#include "platform/folders.h"
#include "platform/qt_panels.h"
#include "platform/qt_sounds.h"
#include "platform/serial_operations.h"
#include "station/panel_location.h"
#include "ui/operator_callbacks.h"
#include "ui/panels.h"

int run_operator_gui(int argc, char** argv) {
  if (!platform::display_available()) {
    std::fprintf(stderr,
                 "ffsload: no display to show the panels on (DISPLAY is not set); "
                 "\"ffsload run\" works without one\n");
    return -1;
  }
  QApplication app(argc, argv);
  install_translations();
  // The tool ends when the operator exits, not when a panel is swapped.
  QApplication::setQuitOnLastWindowClosed(false);
  int status = -1;
  {
    platform::QtPanels panels;
    platform::set_user_interface(&panels);
    // Played at each run's end and question; the station's settings turn
    // them off (ui::main reads them).
    platform::QtSounds sounds;
    platform::set_sound_output(&sounds);
    std::string panel_file = station::find_panel_file();
    if (panel_file.empty()) {
      std::string places;
      for (const std::string& candidate : station::panel_file_candidates()) {
        places += (places.empty() ? "" : ", ") + candidate;
      }
      std::fprintf(stderr, "ffsload: the panel file %s is missing: looked for %s\n",
                   ui::kPanelFileName, places.c_str());
    } else {
      // The station's messages flow while the panels are open, and the
      // operator sees at the panels' foot when they cannot.
      cli::CfxSenderWhileOpen sender;
      QObject watcher;
      show_sender_notices(&watcher, sender, [&panels](const platform::OperatorText& notice) {
        panels.show_station_notice(notice);
      });
      status = ui::main(panel_file);
    }
    platform::set_sound_output(nullptr);
    platform::set_user_interface(nullptr);
  }
  platform::close_all_ports();
  return status;
}
