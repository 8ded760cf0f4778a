#include "records/unit_history.h"

#include "records/run_record.h"

namespace records {

namespace {

UnitHistory history(Store& store, const std::string& column, const std::string& station,
                    const std::string& value, const std::string& uid) {
  // `column` is one of two names this file passes, never outside text.
  const auto rows = store.query(
      "SELECT count(*), max(CASE WHEN outcome = 'green' THEN ended_at END) FROM runs "
      "WHERE station = ? AND " +
          column + " = ? AND uid <> ? AND outcome <> 'no run'",
      {station, value, uid});
  UnitHistory h;
  if (rows.empty() || rows[0].size() != 2) return h;
  if (rows[0][0]) h.earlier_runs = static_cast<int>(std::stol(*rows[0][0]));
  if (rows[0][1]) h.passed_at_ms = parse_iso8601_utc(*rows[0][1]);
  return h;
}

}  // namespace

UnitHistory unit_history_by_serial(Store& store, const std::string& station,
                                   const std::string& serial, const std::string& uid) {
  return history(store, "unit_serial", station, serial, uid);
}

UnitHistory unit_history_by_imei(Store& store, const std::string& station, const std::string& imei,
                                 const std::string& uid) {
  return history(store, "imei", station, imei, uid);
}

std::pair<std::string, std::string> passed_before_at(std::int64_t passed_at_ms) {
  // "2024-03-01T08:15:02.117Z" -> "2024-03-01", "08:15"
  const std::string iso = iso8601_utc(passed_at_ms);
  return {iso.substr(0, 10), iso.substr(11, 5)};
}

std::string passed_before_text(std::int64_t passed_at_ms) {
  const auto [day, time] = passed_before_at(passed_at_ms);
  return "passed before at " + day + " " + time + " UTC";
}

}  // namespace records
