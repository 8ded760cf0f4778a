// The operator GUI road of ffsload: the Qt application around the panels.
#pragma once

// Opens the selection panel in the current folder and runs until the
// operator exits. Returns main's status: -1 when the panels cannot be shown.
int run_operator_gui(int argc, char** argv);
