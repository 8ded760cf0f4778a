// "ffsload report": the yield report of the run records, as a table, CSV or
// an SVG chart.
#pragma once

namespace CLI {
class App;
}

namespace cli {

// Registers the "report" subcommand; when chosen, its exit status goes to *status.
void add_report_command(CLI::App& app, int* status);

}  // namespace cli
