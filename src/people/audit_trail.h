// Writing the audit trail: each event appended to its station's chain, in
// the transaction of the change it tells of where there is one, so that the
// change and its event are stored together or not at all.
#pragma once

#include <cstdint>
#include <string>

#include "people/audit_event.h"
#include "people/database.h"

namespace people {

// The lock a transaction takes to append to `station`'s chain.
std::string chain_lock(const std::string& station);

// This station's name in the trail: the host's, as the run records have it.
std::string this_station();

// Appends `event` to its station's chain within the caller's transaction,
// which holds chain_lock(event.station): fills in the number, the time (now,
// when empty), the previous hash and the hash. Returns it as stored.
AuditEvent append_event(Database& db, AuditEvent event);

// The same in a transaction of its own, committed (on disk) when it returns;
// or, `flushed` false, on disk with the station's next event (see
// Database::commit_unflushed).
AuditEvent record_event(Database& db, AuditEvent event, bool flushed = true);

}  // namespace people
