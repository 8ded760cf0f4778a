// The operator GUI: start-up and the callbacks that the panel file names.
// Plain functions over the user-interface operations, so they run over the
// Qt panels and, in tests, over either back end.
#pragma once

#include <span>
#include <string>

#include "platform/user_interface.h"

int customer(int panel, int control, int event, void* callback_data, int event_data1,
             int event_data2);
int COMPORT(int panel, int control, int event, void* callback_data, int event_data1,
            int event_data2);
int RUN(int panel, int control, int event, void* callback_data, int event_data1, int event_data2);
int EXIT(int panel, int control, int event, void* callback_data, int event_data1, int event_data2);
int Save(int panel, int control, int event, void* callback_data, int event_data1, int event_data2);
// The Yield button: the station's first-pass yield of the last days in a window.
int YIELD(int panel, int control, int event, void* callback_data, int event_data1, int event_data2);
// Enter in the unit field: a serial the station takes starts the run.
int UNIT(int panel, int control, int event, void* callback_data, int event_data1, int event_data2);
// Enter in the operator field of the selection panel.
int OPERATOR(int panel, int control, int event, void* callback_data, int event_data1,
             int event_data2);

namespace ui {

// The callbacks by name, for the panels to find.
std::span<const platform::CallbackEntry> callback_table();

// Start-up in the current folder (the start folder): loads the selection
// panel from panel_file_path, reads "custdefine" and runs the event loop
// until the operator exits. -1 when the panel cannot be loaded (the reason
// goes to stderr), 0 otherwise.
int main(const std::string& panel_file_path);

}  // namespace ui
