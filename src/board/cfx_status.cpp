#include "board/cfx_status.h"

#include <nlohmann/json.hpp>

#include "cfx/queue.h"
#include "records/run_record.h"

namespace board {

std::string cfx_status_json(const std::string& station_folder) {
  nlohmann::ordered_json j = nlohmann::ordered_json::object();
  std::string error;
  const auto queue = cfx::Queue::open_for_reading(station_folder, &error);
  if (!queue) {
    j["queue"] = false;
    if (!error.empty()) j["error"] = error;
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  }
  const cfx::QueueStatus s = queue->status();
  auto when = [](const std::optional<std::int64_t>& ms) {
    return ms ? nlohmann::ordered_json(records::iso8601_utc(*ms)) : nlohmann::ordered_json(nullptr);
  };
  j["queue"] = true;
  j["waiting"] = s.waiting;
  j["set_aside"] = s.set_aside;
  j["oldest_waiting"] = when(s.oldest_waiting_ms);
  j["last_delivered"] = when(s.last_delivered_ms);
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace board
