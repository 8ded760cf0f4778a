// "ffsload pending": the run journals' pending, kept-aside and damaged
// entries of the station folder, by port, and what a line engineer may do
// about one: keep a pending IMEI aside, or set damaged lines aside once read.
#pragma once

namespace CLI {
class App;
}

namespace cli {

void add_pending_command(CLI::App& app, int* status);

}  // namespace cli
