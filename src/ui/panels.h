// The operator's two panels as the program addresses them: the panel file,
// the panel numbers and the control numbers. The layout, captions and look
// are the panel file's; only these numbers are the program's.
#pragma once

#include <string>

#include "station/panel_location.h"

namespace ui {

// Handle of the selection panel (selectPanel); -1 until start-up loads it.
int select_panel();

using station::kPanelFileName;
constexpr int kSelectionPanelNumber = 1;
constexpr int kRunPanelNumber = 2;

// Selection panel.
constexpr int kSubNumberControl = 2;
constexpr int kCustomerControl = 3;
constexpr int kPortControl = 4;
// The operator's id, asked once where the station asks for it.
constexpr int kOperatorControl = 6;

// Run panel (the run log, save button, elapsed time and line counter are in
// platform/run_panel.h, for the logic writes them too).
constexpr int kPortLabelControl = 5;
constexpr int kScriptNameControl = 6;
constexpr int kMaNoControl = 11;
constexpr int kIndicatorDov = 13;
constexpr int kIndicatorPyrel = 14;
constexpr int kIndicatorSubNumber = 15;
constexpr int kIndicatorUnused1 = 16;
constexpr int kIndicatorUnused2 = 17;
constexpr int kIndicatorZu4 = 18;
// Plain words for the operator beyond the run log, read by no code: the
// port's device or why it did not open, and where the log was saved.
constexpr int kPortStatusControl = 20;
constexpr int kSaveStatusControl = 21;
// The Yield button, which shows the station's first-pass yield.
constexpr int kYieldButtonControl = 22;
// The unit: its serial's field (a scanner types into it and ends with
// Enter), the operator's id as given, the unit's attempt or why a serial was
// refused, and the fixture alarm.
constexpr int kUnitFieldControl = 23;
constexpr int kOperatorNameControl = 24;
constexpr int kUnitStatusControl = 25;
constexpr int kFixtureAlarmControl = 26;
// The run's state as a word and a sign in large letters (RUNNING, PASS ✓,
// FAIL ✗): the result for an operator who cannot tell the log's red from its
// green, or who reads it from the fixture.
constexpr int kRunStateControl = 27;

// Ports whose label the run panel shows ("COM 1" to "COM 6").
constexpr int kLastLabelledPort = 6;

// The panel file in use (beside the program); set by start-up.
const std::string& panel_file();
// The customer number whose entries have sub-numbers ("qm" in "custdefine"),
// as start-up read it; 0 without one.
int index_qm();

}  // namespace ui
