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

// Queues EndpointConnected for the station folder's handle. True when
// queued, or when CFX is off (nothing is done then); false with *error.
bool queue_endpoint_connected(const std::string& station_folder, const Settings& settings,
                              std::int64_t at_ms, std::string* error,
                              const std::string& request_uri = "",
                              const std::string& request_address = "");

// The station's active faults as the queue keeps them (a port that cannot be
// opened, a fixture alarm), oldest port first: the Fault objects a
// Heartbeat's ActiveFaults lists. Empty when there are none.
nlohmann::ordered_json active_faults(Queue& queue);

}  // namespace cfx
