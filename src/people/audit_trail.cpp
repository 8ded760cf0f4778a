#include "people/audit_trail.h"

#include "platform/calendar.h"
#include "platform/this_process.h"

namespace people {

std::string chain_lock(const std::string& station) {
  return "audit " + station;
}

std::string this_station() {
  const std::string host = platform::host_name();
  return host.empty() ? "unknown" : host;
}

AuditEvent append_event(Database& db, AuditEvent event) {
  if (event.station.empty()) event.station = this_station();
  if (event.happened_at.empty()) event.happened_at = records::iso8601_utc(platform::utc_now_ms());
  const auto head = db.query(
      "SELECT number, hash FROM audit_events WHERE station = ? ORDER BY number DESC LIMIT 1",
      {event.station});
  if (head.empty()) {
    event.number = 1;
    event.previous_hash = kFirstPreviousHash;
  } else {
    event.number = std::stoll(head[0][0].value_or("0")) + 1;
    event.previous_hash = head[0][1].value_or("");
  }
  event.hash = event_hash(event);
  std::string columns = kEventColumns;
  columns.erase(0, columns.find(',') + 2);  // the id is the table's
  db.execute("INSERT INTO audit_events (" + columns +
                 ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
             event_values(event));
  return event;
}

AuditEvent record_event(Database& db, AuditEvent event, bool flushed) {
  if (event.station.empty()) event.station = this_station();
  if (!flushed) db.set_flushing(false);
  try {
    Transaction transaction(db, chain_lock(event.station));
    AuditEvent stored = append_event(db, std::move(event));
    transaction.commit();
    if (!flushed) db.set_flushing(true);
    return stored;
  } catch (...) {
    if (!flushed) {
      try {
        db.set_flushing(true);
      } catch (...) {
        // The connection is going; the next one flushes.
      }
    }
    throw;
  }
}

}  // namespace people
