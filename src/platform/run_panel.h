// The run panel as the logic addresses it: its handle and control numbers.
#pragma once

namespace platform {

// Handle of the run panel (runPanel); set by whichever front end shows it.
int run_panel();
void set_run_panel(int handle);

constexpr int kRunLogControl = 2;
constexpr int kSaveButtonControl = 3;
constexpr int kElapsedTimeControl = 8;
constexpr int kLineCounterControl = 9;

// Appends one line at the end of the run log.
void append_run_log_line(const char* text);

}  // namespace platform
