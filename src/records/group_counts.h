// The counts of the yield report per group of runs (a customer and day, a
// port, an operator): runs, handsets and units, and which of them had their
// first run in the group. The store hands over plain rows as it reads them,
// each unit's runs in order, and the counting happens here: asking the store
// for each run's first and last run of its unit cost a lookup per run and
// per question, which a year of records made far too slow.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>

#include "records/store.h"

namespace records {

struct GroupCounts {
  long runs = 0;
  long interrupted = 0;
  long handsets = 0;    // distinct IMEIs
  long first_runs = 0;  // runs that are their IMEI's first ever (any outcome)
  long first_pass = 0;  // ... and green
  // A unit is a run's serial, else its IMEI, else the run itself; runs that
  // never touched a unit ("no run") or have not ended ("running") are left out.
  long units = 0;
  long unit_first_runs = 0;  // units whose first counted run ever is in the group
  long unit_first_pass = 0;  // ... and was green
  long unit_final_pass = 0;  // ... and whose latest counted run is green
  long run_units = 0;        // runs known by neither serial nor IMEI

  bool operator==(const GroupCounts&) const = default;
};

// The runs in [from, to) (ISO 8601 text) of `customer` ("" for every
// customer), grouped by the values of the SQL expressions g1 and g2 of a
// run. What makes a run its handset's or its unit's first, and a unit's last
// run, is read from all the unit's runs, in any day, station or customer;
// a tie on started_at goes to the lower id.
struct GroupQuery {
  std::string g1;
  std::string g2;
  std::string from;
  std::string to;
  std::string customer;
  // Where a unit counts in `units`. false: in every group it has a run in
  // (a day's units are the units handled that day). true: only in the group
  // of its first run, where its first-pass and final yield count too (a
  // port's, an operator's or a customer's units are the ones it began), so
  // that a group never shows units without their yields.
  bool units_at_first_run = false;
};

using GroupKey = std::pair<std::string, std::string>;  // (g1, g2) as text

// Throws StoreError. units_per_lookup: how many units' runs are asked for at
// once when the range is not the whole store (tests make it small).
std::map<GroupKey, GroupCounts> count_groups(Store& store, const GroupQuery& query,
                                             std::size_t units_per_lookup = 500);

}  // namespace records
