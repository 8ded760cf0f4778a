// The audit trail for an auditor: every event from a day on, oldest first,
// as CSV (a spreadsheet takes each text as text) or JSON (each value exactly
// as stored, with the hashes that let the chain be checked again).
#pragma once

#include <cstdio>
#include <string>

#include "people/database.h"

namespace people {

enum class ExportFormat { kCsv, kJson };

// since: "" for every event, else a day "YYYY-MM-DD" (UTC) from which on.
// Returns the count written. Throws records::StoreError.
long export_events(Database& db, const std::string& since, ExportFormat format, std::FILE* out);

}  // namespace people
