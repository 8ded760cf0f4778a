#include "cfx/delivery_state.h"

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "platform/durable_files.h"
#include "platform/file_names.h"
#include "platform/whole_files.h"
#include "text/station_text.h"

namespace cfx {

namespace {

std::string state_path(const std::string& station_folder, const char* file) {
  return (station_folder.empty() ? std::string(".") : station_folder) + "/" + file;
}

}  // namespace

std::optional<DeliveryFailing> read_delivery_failing(const std::string& station_folder,
                                                     const char* file) {
  std::string text, why;
  if (platform::read_whole_file(state_path(station_folder, file), &text, &why) !=
      platform::WholeRead::kRead)
    return std::nullopt;
  const auto json = nlohmann::json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;
  DeliveryFailing failing;
  if (const auto it = json.find("SinceMs"); it != json.end() && it->is_number_integer())
    failing.since_ms = it->get<std::int64_t>();
  if (const auto it = json.find("Reason"); it != json.end() && it->is_string())
    failing.reason = it->get<std::string>();
  return failing;
}

bool write_delivery_failing(const std::string& station_folder, const DeliveryFailing& failing,
                            std::string* error, const char* file) {
  nlohmann::ordered_json json;
  json["SinceMs"] = failing.since_ms;
  // A broker's description is the broker's text: the file stays valid JSON.
  json["Reason"] = text::utf8_text(failing.reason);
  // Replaced whole: the status never reads half a record.
  return platform::replace_file_durably(state_path(station_folder, file), json.dump() + "\n", error);
}

bool clear_delivery_failing(const std::string& station_folder, std::string* error,
                            const char* file) {
  const std::string path = state_path(station_folder, file);
  if (!platform::remove_file(path) && errno != ENOENT) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace cfx
