#include "cfx/station_lock.h"

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "platform/durable_files.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/whole_files.h"
#include "text/station_text.h"

namespace cfx {

namespace {

std::string lock_path(const std::string& station_folder) {
  return (station_folder.empty() ? std::string(".") : station_folder) + "/" + kStationLockFile;
}

}  // namespace

std::optional<StationLock> read_station_lock(const std::string& station_folder) {
  std::string text, why;
  switch (platform::read_whole_file(lock_path(station_folder), &text, &why)) {
    case platform::WholeRead::kMissing:
      return std::nullopt;
    case platform::WholeRead::kFailed: {
      StationLock damaged;
      damaged.reason = "the lock file cannot be read (" + why + ")";
      return damaged;
    }
    case platform::WholeRead::kRead:
      break;
  }
  StationLock lock;
  const auto json = nlohmann::json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    lock.reason = std::string("the lock file ") + kStationLockFile + " is damaged";
    return lock;
  }
  auto text_of = [&](const char* key) {
    const auto it = json.find(key);
    return it != json.end() && it->is_string() ? it->get<std::string>() : std::string();
  };
  // The MES's words, as runs, panels and records show them: an escape
  // sequence or a bidirectional override is written out, never acted on.
  lock.reason = text::shown_station_text(text_of("Reason"));
  lock.requestor = text::shown_station_text(text_of("Requestor"));
  lock.locked_by = text_of("LockedBy");
  if (const auto it = json.find("LockedAtMs"); it != json.end() && it->is_number_integer())
    lock.locked_at_ms = it->get<std::int64_t>();
  if (lock.reason.empty()) lock.reason = "GeneralLock";
  return lock;
}

bool write_station_lock(const std::string& station_folder, const StationLock& lock,
                        std::string* error) {
  nlohmann::ordered_json json;
  // The MES's texts may be anything; the file stays valid JSON.
  json["Reason"] = text::utf8_text(lock.reason);
  json["Requestor"] = text::utf8_text(lock.requestor);
  json["LockedBy"] = text::utf8_text(lock.locked_by);
  json["LockedAtMs"] = lock.locked_at_ms;
  return platform::replace_file_durably(lock_path(station_folder), json.dump() + "\n", error);
}

bool clear_station_lock(const std::string& station_folder, std::string* error) {
  const std::string path = lock_path(station_folder);
  if (!platform::remove_file(path)) {
    if (errno == ENOENT) return true;
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  if (!platform::sync_folder_of(path)) {
    *error = path + ": cannot flush its folder";
    return false;
  }
  return true;
}

std::string station_lock_refusal(const StationLock& lock) {
  std::string text = "the station is locked by the MES (" + lock.reason;
  if (!lock.requestor.empty()) text += ", by " + lock.requestor;
  return text + "): no run until it is unlocked";
}

}  // namespace cfx
