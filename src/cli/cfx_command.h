// "ffsload cfx": the station's sender on the factory's network, in the
// current folder (the station folder), for a station driven by "ffsload run"
// alone (the systemd unit runs it); the panels and the grid start the same
// sender while they are open. "ffsload cfx --status" shows the broker, the
// queue and the MES's lock. The work is the sender program's (ffsload-cfx,
// beside ffsload or in ../libexec), the one program that links the AMQP
// library.
#pragma once

namespace CLI {
class App;
}

namespace cli {

// Registers the "cfx" subcommand; when chosen, it hands over to the sender
// program and only returns (into *status) when that cannot be done.
void add_cfx_command(CLI::App& app, int* status);

}  // namespace cli
