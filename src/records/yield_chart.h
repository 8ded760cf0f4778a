// The first-pass yield per day as an SVG picture: one bar per customer and
// day, that any browser opens.
#pragma once

#include <string>
#include <vector>

#include "records/report.h"

namespace records {

// A self-contained SVG document. Days without a first run of a customer
// have no bar for it.
std::string yield_chart_svg(const std::vector<ReportRow>& rows);

}  // namespace records
