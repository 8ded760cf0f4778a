// "ffsload ports": the serial devices of this machine, their stable names,
// the port numbers that "comports" gives them, and whether this user may
// open each (and why not).
#pragma once

namespace CLI {
class App;
}

namespace cli {

void add_ports_command(CLI::App& app, int* status);

}  // namespace cli
