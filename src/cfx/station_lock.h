// The MES's lock on the station: a file in the station folder, written
// durably by the sender when the MES sends LockStationRequest and removed
// when it sends UnlockStationRequest. Every new run on every port of the
// folder looks for it first, so the lock holds whichever front end runs the
// port, and survives a restart of the station or of the sender.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cfx {

constexpr const char* kStationLockFile = "cfx-station-lock.json";

struct StationLock {
  std::string reason;     // the MES's word: "QualityIssue", "GeneralLock", ...
  std::string requestor;  // the MES operator's id or name, "" when not given
  std::string locked_by;  // the handle of the endpoint that locked it
  std::int64_t locked_at_ms = 0;
};

// The lock of the station folder, nullopt when the station is not locked. A
// lock file that cannot be read or understood still locks, with that as its
// reason: a damaged lock never lets a unit through.
std::optional<StationLock> read_station_lock(const std::string& station_folder);

// Locks the station (replacing an earlier lock); on the disk when true.
bool write_station_lock(const std::string& station_folder, const StationLock& lock,
                        std::string* error);
// Unlocks it; the removal is on the disk when true. No lock is not an error.
bool clear_station_lock(const std::string& station_folder, std::string* error);

// What a refused run says: "the station is locked by the MES (QualityIssue,
// by J. Doe): no run until it is unlocked".
std::string station_lock_refusal(const StationLock& lock);

}  // namespace cfx
