#include "platform/run_panel.h"

#include "platform/user_interface.h"

namespace platform {

int runPanel = 2;

void append_run_log_line(const char* text) {
  InsertTextBoxLine(runPanel, kRunLogControl, kAppendLine, text);
}

}  // namespace platform
