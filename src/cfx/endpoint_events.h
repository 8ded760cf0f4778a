// The endpoint's own messages, queued by whoever speaks for the station: a
// front end that stays open (the panels, the grid) or the sender announces
// the station with EndpointConnected when it starts.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "cfx/cfx_settings.h"
#include "cfx/queue.h"

namespace cfx {

// The station's request port as the MES is told it (RequestNetworkUri):
// cfx-listen, or when that is every address, the address this host reaches
// the MES (or else the broker) from, that is its address on the factory's
// network; an interface's when that is the loopback (a broker on this host);
// its name at worst. "" when the station listens on no port.
std::string advertised_request_uri(const Settings& settings);

// Queues EndpointConnected for the station folder's handle, with its request
// port and address when it has one: whoever announces the station tells the
// MES where to ask it, or the MES's directory would lose the port the sender
// announced. True when queued, or when CFX is off (nothing is done then);
// false with *error.
bool queue_endpoint_connected(const std::string& station_folder, const Settings& settings,
                              std::int64_t at_ms, std::string* error);

// The station's active faults as the queue keeps them (a port that cannot be
// opened, a fixture alarm), oldest port first: the Fault objects a
// Heartbeat's ActiveFaults lists. Empty when there are none.
nlohmann::ordered_json active_faults(Queue& queue);

}  // namespace cfx
