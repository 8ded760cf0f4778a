#include "records/report.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <stdexcept>
#include <utility>

namespace records {

namespace {

// A run is its handset's first when no run of the same IMEI started before
// it (the lower id breaks a tie); the index on (imei, started_at, id) answers
// that for each run without a scan. MATERIALIZED: the test runs once a row,
// not once for each sum that uses it.
constexpr const char* kCountsSql =
    "WITH f AS MATERIALIZED (\n"
    "  SELECT customer, substr(started_at, 1, 10) AS day, outcome, imei,\n"
    "    imei IS NOT NULL AND NOT EXISTS (SELECT 1 FROM runs p WHERE p.imei = r.imei\n"
    "      AND (p.started_at < r.started_at OR (p.started_at = r.started_at AND p.id < r.id)))\n"
    "      AS first_run\n"
    "  FROM runs r WHERE started_at >= ? AND started_at < ? AND (? = '' OR customer = ?))\n"
    "SELECT customer, day, count(*), count(DISTINCT imei),\n"
    "  sum(CASE WHEN first_run THEN 1 ELSE 0 END),\n"
    "  sum(CASE WHEN first_run AND outcome = 'green' THEN 1 ELSE 0 END),\n"
    "  sum(CASE WHEN outcome = 'interrupted' THEN 1 ELSE 0 END)\n"
    "FROM f GROUP BY customer, day";

constexpr const char* kFailingSql =
    "SELECT customer, substr(started_at, 1, 10) AS day, failed_line, failed_text, count(*)\n"
    "FROM runs WHERE started_at >= ? AND started_at < ? AND (? = '' OR customer = ?)\n"
    "  AND outcome = 'red' AND failed_line IS NOT NULL\n"
    "GROUP BY customer, day, failed_line, failed_text";

// Exactly "YYYY-MM-DD", digits where digits belong: sscanf alone would take
// " 1" or "+9" for a month or a day, and the range would silently widen.
std::optional<std::tm> day_of(const std::string& text) {
  if (text.size() != 10) return std::nullopt;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 4 || i == 7;
    if (dash ? text[i] != '-' : (text[i] < '0' || text[i] > '9')) return std::nullopt;
  }
  const int year = std::stoi(text.substr(0, 4));
  const int month = std::stoi(text.substr(5, 2));
  const int day = std::stoi(text.substr(8, 2));
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  std::tm normal = tm;
  timegm(&normal);
  if (normal.tm_year != tm.tm_year || normal.tm_mon != tm.tm_mon || normal.tm_mday != tm.tm_mday) {
    return std::nullopt;  // 2024-02-30 and the like
  }
  return tm;
}

std::string day_after(const std::string& text) {
  std::tm tm = *day_of(text);
  tm.tm_mday += 1;
  timegm(&tm);
  char out[48];
  std::snprintf(out, sizeof out, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  return out;
}

long number(const std::optional<std::string>& text, const char* what) {
  if (!text) return 0;
  std::size_t used = 0;
  try {
    const long value = std::stol(*text, &used);
    if (used == text->size()) return value;
  } catch (const std::logic_error&) {  // not a number, or out of range
  }
  throw BadStoredValue(std::string("holds \"") + *text + "\" as " + what +
                       ", which is not a number");
}

std::string csv_field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string yield_text(const ReportRow& row) {
  const auto yield = row.yield_percent();
  if (!yield) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f%%", *yield);
  return text;
}

std::string failing_text(const ReportRow& row) {
  if (!row.failing_line) return "";
  return std::to_string(*row.failing_line) + ": " + row.failing_text + " (" +
         std::to_string(row.failing_count) + "x)";
}

}  // namespace

std::optional<double> ReportRow::yield_percent() const {
  if (first_runs == 0) return std::nullopt;
  return 100.0 * static_cast<double>(first_pass) / static_cast<double>(first_runs);
}

bool valid_day(const std::string& text) {
  return day_of(text).has_value();
}

std::vector<ReportRow> build_report(Store& store, const ReportFilter& filter) {
  // Times are ISO 8601 text, so a day range is a text range.
  const std::string from = filter.since.value_or("0000-01-01");
  const std::string to = filter.until ? day_after(*filter.until) : "9999-12-31";
  const std::string customer = filter.customer.value_or("");
  const std::vector<std::string> params{from, to, customer, customer};

  std::map<std::pair<std::string, std::string>, ReportRow> rows;  // (day, customer)
  for (const Row& r : store.query(kCountsSql, params)) {
    ReportRow row;
    row.customer = r[0].value_or("");
    row.day = r[1].value_or("");
    row.runs = number(r[2], "a count");
    row.handsets = number(r[3], "a count");
    row.first_runs = number(r[4], "a count");
    row.first_pass = number(r[5], "a count");
    row.interrupted = number(r[6], "a count");
    rows[{row.day, row.customer}] = row;
  }
  for (const Row& r : store.query(kFailingSql, params)) {
    auto it = rows.find({r[1].value_or(""), r[0].value_or("")});
    if (it == rows.end()) continue;
    ReportRow& row = it->second;
    const long line = number(r[2], "failed_line");
    const long count = number(r[4], "a count");
    if (count > row.failing_count || (count == row.failing_count && line < *row.failing_line)) {
      row.failing_line = line;
      row.failing_text = r[3].value_or("");
      row.failing_count = count;
    }
  }
  std::vector<ReportRow> out;
  out.reserve(rows.size());
  for (auto& [key, row] : rows) out.push_back(std::move(row));
  return out;
}

namespace {

// Columns numeric_from..numeric_to are right-aligned.
std::string aligned(const std::vector<std::vector<std::string>>& cells, std::size_t numeric_from,
                    std::size_t numeric_to) {
  std::vector<std::size_t> width(cells[0].size(), 0);
  for (const auto& line : cells) {
    for (std::size_t c = 0; c < line.size(); ++c) width[c] = std::max(width[c], line[c].size());
  }
  std::string out;
  for (const auto& line : cells) {
    std::string text;
    for (std::size_t c = 0; c < line.size(); ++c) {
      const bool numeric = c >= numeric_from && c <= numeric_to;
      const std::string pad(width[c] - line[c].size(), ' ');
      text += numeric ? pad + line[c] : line[c] + (c + 1 < line.size() ? pad : "");
      if (c + 1 < line.size()) text += "  ";
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out += text + "\n";
  }
  return out;
}

}  // namespace

std::vector<InterruptedRun> list_interrupted(Store& store, const ReportFilter& filter) {
  const std::string from = filter.since.value_or("0000-01-01");
  const std::string to = filter.until ? day_after(*filter.until) : "9999-12-31";
  const std::string customer = filter.customer.value_or("");
  std::vector<InterruptedRun> out;
  for (const Row& r : store.query(
           "SELECT started_at, station, port, customer, imei, imei_fate FROM runs\n"
           "WHERE outcome = 'interrupted' AND started_at >= ? AND started_at < ?\n"
           "  AND (? = '' OR customer = ?) ORDER BY started_at, id",
           {from, to, customer, customer})) {
    InterruptedRun run;
    run.started_at = r[0].value_or("");
    run.station = r[1].value_or("");
    run.port = std::strtol(r[2].value_or("0").c_str(), nullptr, 10);
    run.customer = r[3].value_or("");
    run.imei = r[4].value_or("");
    run.fate = r[5].value_or("");
    out.push_back(std::move(run));
  }
  return out;
}

std::string format_interrupted(const std::vector<InterruptedRun>& runs) {
  std::vector<std::vector<std::string>> cells{
      {"started", "station", "port", "customer", "IMEI", "what became of the IMEI"}};
  for (const InterruptedRun& r : runs) {
    cells.push_back({r.started_at, r.station, std::to_string(r.port),
                     r.customer.empty() ? "-" : r.customer, r.imei.empty() ? "-" : r.imei,
                     r.imei.empty() ? "no IMEI backed up" : (r.fate.empty() ? "-" : r.fate)});
  }
  return aligned(cells, 2, 2);
}

std::string format_table(const std::vector<ReportRow>& rows) {
  std::vector<std::vector<std::string>> cells{{"day", "customer", "runs", "interrupted",
                                               "handsets", "first-pass yield",
                                               "most frequent failing line"}};
  for (const ReportRow& row : rows) {
    cells.push_back({row.day, row.customer.empty() ? "-" : row.customer, std::to_string(row.runs),
                     std::to_string(row.interrupted), std::to_string(row.handsets),
                     yield_text(row), failing_text(row)});
  }
  return aligned(cells, 2, 5);
}

std::string format_csv(const std::vector<ReportRow>& rows) {
  std::string out =
      "day,customer,runs,handsets,first_runs,first_pass,first_pass_yield,failing_line,"
      "failing_text,failing_count,interrupted\n";
  for (const ReportRow& row : rows) {
    char yield[16] = "";
    if (auto y = row.yield_percent()) std::snprintf(yield, sizeof yield, "%.1f", *y);
    out += row.day + "," + csv_field(row.customer) + "," + std::to_string(row.runs) + "," +
           std::to_string(row.handsets) + "," + std::to_string(row.first_runs) + "," +
           std::to_string(row.first_pass) + "," + yield + "," +
           (row.failing_line ? std::to_string(*row.failing_line) : "") + "," +
           csv_field(row.failing_text) + "," +
           (row.failing_line ? std::to_string(row.failing_count) : "") + "," +
           std::to_string(row.interrupted) + "\n";
  }
  return out;
}

}  // namespace records
