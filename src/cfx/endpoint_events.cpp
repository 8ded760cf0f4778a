#include "cfx/endpoint_events.h"

#include "cfx/queue.h"
#include "cfx/station_messages.h"
#include "platform/host_address.h"
#include "platform/this_process.h"

namespace cfx {

namespace {

std::string advertised_host(const Settings& settings) {
  auto loopback = [](const std::string& a) { return a.rfind("127.", 0) == 0 || a == "::1"; };
  std::string why;
  std::string address;
  if (const auto mes = parse_amqp_url(settings.mes_url, &why); mes && !settings.mes_url.empty())
    address = platform::address_towards(mes->host, mes->port);
  if (address.empty() || loopback(address))
    address = platform::address_towards(settings.broker.host, settings.broker.port);
  if (address.empty() || loopback(address)) address = platform::first_network_address();
  return address.empty() ? platform::host_name() : address;
}

}  // namespace

std::string advertised_request_uri(const Settings& settings) {
  return request_network_uri(settings,
                             listens_everywhere(settings) ? advertised_host(settings) : "");
}

bool queue_endpoint_connected(const std::string& station_folder, const Settings& settings,
                              std::int64_t at_ms, std::string* error) {
  if (!settings.enabled) return true;
  auto queue = Queue::open(station_folder, error);
  if (!queue) return false;
  const std::string request_uri = advertised_request_uri(settings);
  const Envelope e = endpoint_connected(Sender{settings.handle}, at_ms, request_uri,
                                        request_uri.empty() ? "" : settings.handle);
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
