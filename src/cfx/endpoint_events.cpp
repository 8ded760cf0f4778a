#include "cfx/endpoint_events.h"

#include "cfx/queue.h"
#include "cfx/station_messages.h"

namespace cfx {

bool queue_endpoint_connected(const std::string& station_folder, const Settings& settings,
                              std::int64_t at_ms, std::string* error,
                              const std::string& request_uri, const std::string& request_address) {
  if (!settings.enabled) return true;
  auto queue = Queue::open(station_folder, error);
  if (!queue) return false;
  const Envelope e =
      endpoint_connected(Sender{settings.handle}, at_ms, request_uri, request_address);
  return queue->add(std::span<const Envelope>(&e, 1), error);
}

nlohmann::ordered_json active_faults(Queue& queue) {
  nlohmann::ordered_json faults = nlohmann::ordered_json::array();
  for (const auto& [key, value] : queue.facts_starting("fault.")) {
    try {
      faults.push_back(nlohmann::ordered_json::parse(value));
    } catch (const nlohmann::ordered_json::exception&) {
      // A fact this program did not write: left out.
    }
  }
  return faults;
}

}  // namespace cfx
