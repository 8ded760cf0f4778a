// "ffsload people add|list|set-pin|lock|unlock|remove": the people of the
// station (or of the line, in its PostgreSQL database) and their PINs. Only
// an engineer changes them, once the first engineer is there.
#pragma once

namespace CLI {
class App;
}

namespace cli {

void add_people_command(CLI::App& app, int* status);

}  // namespace cli
