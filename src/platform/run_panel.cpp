#include "platform/run_panel.h"

#include "platform/user_interface.h"

namespace platform {

namespace {
int g_run_panel = 2;
}  // namespace

int run_panel() {
  return g_run_panel;
}

void set_run_panel(int handle) {
  g_run_panel = handle;
}

void append_run_log_line(const char* text) {
  InsertTextBoxLine(g_run_panel, kRunLogControl, kAppendLine, text);
}

}  // namespace platform
