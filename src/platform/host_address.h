// The address this host is reached at on a network, for an endpoint that
// listens on every address but must tell its peers where to find it.
#pragma once

#include <string>

namespace platform {

// The local address this host would use to reach `host` (a name or an
// address; nothing is sent), e.g. "192.168.40.14" or "fd00::14"; "" when
// it has no route there or the name does not resolve.
std::string address_towards(const std::string& host, int port);

// The first address of an interface that is up and not the loopback, IPv4
// before IPv6; "" when there is none.
std::string first_network_address();

}  // namespace platform
