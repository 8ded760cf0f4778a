#include "people/database.h"

namespace people {

std::vector<std::string> table_statements(Dialect dialect) {
  const bool pg = dialect == Dialect::kPostgres;
  const std::string integer = pg ? "BIGINT" : "INTEGER";
  return {
      // A person removed keeps the row (without a PIN), so that the id,
      // which the records and the audit trail name, is never given to
      // someone else.
      "CREATE TABLE IF NOT EXISTS people ("
      "id TEXT PRIMARY KEY, "
      "name TEXT NOT NULL DEFAULT '', "
      "role TEXT NOT NULL CHECK (role IN ('operator', 'technician', 'engineer')), "
      "pin_hash TEXT, "
      "badge TEXT UNIQUE, "
      "locked " + integer + " NOT NULL DEFAULT 0, "
      "failed_pins " + integer + " NOT NULL DEFAULT 0, "
      "locked_until_ms " + integer + " NOT NULL DEFAULT 0, "
      "added_at TEXT NOT NULL, "
      "removed_at TEXT)",
      // One chain per station: "number" counts a station's events from 1,
      // and each event's hash covers the hash of the one before it.
      std::string("CREATE TABLE IF NOT EXISTS audit_events (") +
          (pg ? "id BIGSERIAL PRIMARY KEY, " : "id INTEGER PRIMARY KEY AUTOINCREMENT, ") +
          "station TEXT NOT NULL, "
          "number " + integer + " NOT NULL, "
          "happened_at TEXT NOT NULL, "
          "kind TEXT NOT NULL, "
          "actor TEXT, "
          "subject TEXT, "
          "what TEXT, "
          "why TEXT, "
          "before_state TEXT, "
          "after_state TEXT, "
          "outcome TEXT, "
          "run_uid TEXT, "
          "record_digest TEXT, "
          "previous_hash TEXT NOT NULL, "
          "hash TEXT NOT NULL, "
          "UNIQUE (station, number))",
      "CREATE INDEX IF NOT EXISTS audit_events_by_time ON audit_events (happened_at)",
  };
}

}  // namespace people
