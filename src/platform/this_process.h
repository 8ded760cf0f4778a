// Who this process is: the machine it runs on and its number there.
#pragma once

#include <string>

namespace platform {

// The machine's network name; "" when it cannot be read.
std::string host_name();

// This process's id, as the system's tools show it.
long process_id();

}  // namespace platform
