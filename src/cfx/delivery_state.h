// Whether the sender's delivery is failing, for "ffsload cfx --status": a
// small file in the station folder that the sender writes when the broker
// cannot be reached or refuses its link, and removes once the link is open
// again. The same record, in a file of its own, says that the MES's request
// port could not be opened (the port taken, an address not the host's). Only the running sender's word counts: the status reads it only
// while a sender holds the folder, and a sender starting removes a stale one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cfx {

constexpr const char* kDeliveryStateFile = "cfx-delivery-failing.json";
constexpr const char* kListenStateFile = "cfx-listen-failing.json";

struct DeliveryFailing {
  std::int64_t since_ms = 0;  // UTC, the first failure since the link was last open
  std::string reason;         // the latest failure
};

// The failure the sender recorded, nullopt when none (or none readable: a
// damaged file is the sender's own, rewritten at its next failure).
std::optional<DeliveryFailing> read_delivery_failing(const std::string& station_folder,
                                                     const char* file = kDeliveryStateFile);

// Records the failure; false with *error when it could not be written.
bool write_delivery_failing(const std::string& station_folder, const DeliveryFailing& failing,
                            std::string* error, const char* file = kDeliveryStateFile);

// Delivery works (again): the record is removed. No record is not an error.
bool clear_delivery_failing(const std::string& station_folder, std::string* error,
                            const char* file = kDeliveryStateFile);

}  // namespace cfx
