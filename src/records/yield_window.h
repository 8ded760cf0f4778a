// The yield report shown in a window: the same rows and chart as "ffsload
// report", for the operator panels' Yield button and "ffsload report
// --window". The window itself belongs to the GUI front end, which installs
// it; without one (a terminal), showing says so and returns false.
#pragma once

#include <string>
#include <vector>

#include "records/report.h"

namespace records {

using ReportWindow = void (*)(const std::vector<records::ReportRow>& rows,
                              const std::string& chart_svg, const std::string& title);

void set_report_window(ReportWindow window);
bool report_window_available();

// Shows rows and their chart; false when no window is installed.
bool show_report_window(const std::vector<records::ReportRow>& rows, const std::string& title);

// The last `days` days of this station's records (the records location as
// "ffsload run" resolves it), shown in the window; the reason when they
// cannot be read.
bool show_recent_yield(int days, std::string* error);

}  // namespace records
