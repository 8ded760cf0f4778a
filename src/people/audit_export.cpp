#include "people/audit_export.h"

#include <nlohmann/json.hpp>

#include "people/audit_event.h"
#include "text/csv_text.h"

namespace people {

namespace {

// The columns as an auditor reads them, in the table's order.
constexpr const char* kHeader =
    "id,station,number,happened_at,kind,actor,subject,what,why,before,after,outcome,run_uid,"
    "record_digest,previous_hash,hash";

}  // namespace

long export_events(Database& db, const std::string& since, ExportFormat format, std::FILE* out) {
  if (format == ExportFormat::kCsv) std::fprintf(out, "%s\r\n", kHeader);
  if (format == ExportFormat::kJson) std::fputs("[", out);
  long count = 0;
  if (db.has_tables()) {
    std::string sql = std::string("SELECT ") + kEventColumns + " FROM audit_events";
    Values params;
    if (!since.empty()) {
      sql += " WHERE happened_at >= ?";
      params.push_back(since + "T00:00:00.000Z");
    }
    sql += " ORDER BY happened_at, station, number";
    db.for_each_row(sql, params, [&](const records::Row& row) {
      if (format == ExportFormat::kCsv) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
          if (c > 0) line += ',';
          // id and number are the table's own numbers; the rest is text.
          if (c == 0 || c == 2) {
            line += row[c].value_or("");
          } else if (row[c]) {
            line += text::csv_text_field(*row[c]);
          }
        }
        line += "\r\n";
        std::fwrite(line.data(), 1, line.size(), out);
      } else {
        const AuditEvent e = event_from_row(row);
        nlohmann::ordered_json json;
        json["id"] = e.id;
        json["station"] = e.station;
        json["number"] = e.number;
        json["happened_at"] = e.happened_at;
        json["kind"] = e.kind;
        const auto put = [&json](const char* name, const std::optional<std::string>& value) {
          json[name] = value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
        };
        put("actor", e.actor);
        put("subject", e.subject);
        put("what", e.what);
        put("why", e.why);
        put("before", e.before_state);
        put("after", e.after_state);
        put("outcome", e.outcome);
        put("run_uid", e.run_uid);
        put("record_digest", e.record_digest);
        json["previous_hash"] = e.previous_hash;
        json["hash"] = e.hash;
        const std::string text =
            (count == 0 ? "\n" : ",\n") +
            json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        std::fwrite(text.data(), 1, text.size(), out);
      }
      ++count;
    });
  }
  if (format == ExportFormat::kJson) std::fputs(count == 0 ? "]\n" : "\n]\n", out);
  return count;
}

}  // namespace people
