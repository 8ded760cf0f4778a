// What this station's records know of a unit before its run: how many runs
// it had (its attempt number) and when it last passed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "records/store.h"

namespace records {

struct UnitHistory {
  int earlier_runs = 0;                      // this run's attempt is earlier_runs + 1
  std::optional<std::int64_t> passed_at_ms;  // the end of its last green run
};

// The unit's runs on `station` other than the run `uid`: by its serial, or,
// for a unit known only by its IMEI (lower-case hex as recorded), by that.
// A "no run" never touched the unit and is not counted.
UnitHistory unit_history_by_serial(Store& store, const std::string& station,
                                   const std::string& serial, const std::string& uid);
UnitHistory unit_history_by_imei(Store& store, const std::string& station, const std::string& imei,
                                 const std::string& uid);

// "passed before at 2024-03-01 08:15 UTC"
std::string passed_before_text(std::int64_t passed_at_ms);
// Its day and time: "2024-03-01", "08:15".
std::pair<std::string, std::string> passed_before_at(std::int64_t passed_at_ms);

}  // namespace records
