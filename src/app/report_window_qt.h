// The yield report's window over Qt: the report's table and its chart.
#pragma once

#include <string>
#include <vector>

#include "records/report.h"

// Shows the window and returns when it is closed; makes the application
// object when there is none yet ("ffsload report --window").
void show_report_window_qt(const std::vector<records::ReportRow>& rows,
                           const std::string& chart_svg, const std::string& title);
