#include "records/report.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <future>
#include <map>
#include <memory>
#include <stdexcept>
#include <utility>

#include "platform/calendar.h"
#include "records/fixture_alarm.h"
#include "records/group_counts.h"
#include "text/csv_text.h"
#include "text/station_text.h"

namespace records {

namespace {

constexpr const char* kFailingSql =
    "SELECT customer, substr(started_at, 1, 10) AS day, failed_line, failed_text, count(*)\n"
    "FROM runs WHERE started_at >= ? AND started_at < ? AND (? = '' OR customer = ?)\n"
    "  AND outcome = 'red' AND failed_line IS NOT NULL\n"
    "GROUP BY customer, day, failed_line, failed_text";

// The failing lines of the red runs in range, grouped by g1 and g2 (named in
// a subquery: a group may be a constant).
std::string failing_sql(const std::string& g1, const std::string& g2) {
  return "SELECT g1, g2, failed_line, failed_text, count(*)\n"
         "FROM (SELECT " +
         g1 + " AS g1, " + g2 +
         " AS g2, failed_line, failed_text FROM runs\n"
         "  WHERE started_at >= ? AND started_at < ? AND (? = '' OR customer = ?)\n"
         "    AND outcome = 'red' AND failed_line IS NOT NULL) s\n"
         "GROUP BY g1, g2, failed_line, failed_text";
}

// A query read on a second connection of the store, while this one counts
// the groups; where the store gives none, it is read here when asked for.
std::future<std::vector<Row>> query_beside(Store& store, std::string sql,
                                           std::vector<std::string> params) {
  std::shared_ptr<Store> beside = store.open_reader();
  if (!beside) {
    return std::async(std::launch::deferred,
                      [&store, sql, params] { return store.query(sql, params); });
  }
  return std::async(std::launch::async,
                    [beside, sql, params] { return beside->query(sql, params); });
}

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
  platform::utc_seconds(&normal);
  if (normal.tm_year != tm.tm_year || normal.tm_mon != tm.tm_mon || normal.tm_mday != tm.tm_mday) {
    return std::nullopt;  // 2024-02-30 and the like
  }
  return tm;
}

std::string day_after(const std::string& text) {
  std::tm tm = *day_of(text);
  tm.tm_mday += 1;
  platform::utc_seconds(&tm);
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

std::string percent_text(std::optional<double> percent) {
  if (!percent) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f%%", *percent);
  return text;
}

std::string percent_csv(std::optional<double> percent) {
  if (!percent) return "";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", *percent);
  return text;
}

// units,unit_first_runs,unit_first_pass,first-pass %,unit_final_pass,final %,run_units
std::string unit_csv(const ReportRow& row) {
  return std::to_string(row.units) + "," + std::to_string(row.unit_first_runs) + "," +
         std::to_string(row.unit_first_pass) + "," + percent_csv(row.first_pass_percent()) + "," +
         std::to_string(row.unit_final_pass) + "," + percent_csv(row.final_percent()) + "," +
         std::to_string(row.run_units);
}

void take_counts(ReportRow& row, const GroupCounts& c) {
  row.runs = c.runs;
  row.interrupted = c.interrupted;
  row.handsets = c.handsets;
  row.first_runs = c.first_runs;
  row.first_pass = c.first_pass;
  row.units = c.units;
  row.unit_first_runs = c.unit_first_runs;
  row.unit_first_pass = c.unit_first_pass;
  row.unit_final_pass = c.unit_final_pass;
  row.run_units = c.run_units;
}

// Rows as they are shown: station texts with hidden characters written out.
std::vector<ReportRow> shown(std::vector<ReportRow> rows) {
  for (ReportRow& row : rows) {
    row.customer = text::shown_station_text(row.customer);
    row.day = text::shown_station_text(row.day);
    row.failing_text = text::shown_station_text(row.failing_text);
  }
  return rows;
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

std::optional<double> ReportRow::first_pass_percent() const {
  if (unit_first_runs == 0) return std::nullopt;
  return 100.0 * static_cast<double>(unit_first_pass) / static_cast<double>(unit_first_runs);
}

std::optional<double> ReportRow::final_percent() const {
  if (unit_first_runs == 0) return std::nullopt;
  return 100.0 * static_cast<double>(unit_final_pass) / static_cast<double>(unit_first_runs);
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

  auto failing = query_beside(store, kFailingSql, params);
  std::map<std::pair<std::string, std::string>, ReportRow> rows;  // (day, customer)
  for (const auto& [group, counts] :
       count_groups(store, {"customer", "substr(started_at, 1, 10)", from, to, customer})) {
    ReportRow row;
    row.customer = group.first;
    row.day = group.second;
    take_counts(row, counts);
    rows[{row.day, row.customer}] = row;
  }
  for (const Row& r : failing.get()) {
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
  return shown(std::move(out));
}

std::vector<ReportRow> build_grouped_report(Store& store, const ReportFilter& filter, GroupBy by,
                                            int fixture_alarm_runs) {
  if (by == GroupBy::kDayAndCustomer) return build_report(store, filter);
  const std::string from = filter.since.value_or("0000-01-01");
  const std::string to = filter.until ? day_after(*filter.until) : "9999-12-31";
  const std::string customer = filter.customer.value_or("");
  const std::vector<std::string> params{from, to, customer, customer};
  // Two columns name a group; a port is a station's.
  std::string g1 = "station", g2 = "port";
  if (by == GroupBy::kOperator) g1 = "COALESCE(operator, '')", g2 = "''";
  if (by == GroupBy::kCustomer) g1 = "customer", g2 = "''";

  // Ports in number order, the rest by name.
  std::map<std::pair<std::string, long>, ReportRow> rows;
  const auto key = [&](const Row& r) {
    const std::string second = r[1].value_or("");
    return by == GroupBy::kPort ? std::pair{r[0].value_or(""), number(r[1], "a port")}
                                : std::pair{r[0].value_or("") + second, 0L};
  };
  auto failing = query_beside(store, failing_sql(g1, g2), params);
  // A unit counts, with its yields, for the group of its first run.
  const GroupQuery query{g1, g2, from, to, customer, /*units_at_first_run=*/true};
  for (const auto& [group, counts] : count_groups(store, query)) {
    const Row r{group.first, group.second};
    ReportRow row;
    row.customer = by == GroupBy::kPort ? group.first + " port " + group.second : group.first;
    take_counts(row, counts);
    if (by == GroupBy::kPort) {
      const FixtureAlarm alarm = fixture_alarm(
          last_port_runs(store, r[0].value_or(""), static_cast<int>(number(r[1], "a port")), 1000),
          fixture_alarm_runs);
      row.red_streak = alarm.red_runs;
      row.fixture_alarm = alarm.raised;
    }
    rows[key(r)] = row;
  }
  for (const Row& r : failing.get()) {
    auto it = rows.find(key(r));
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
  for (auto& [k, row] : rows) out.push_back(std::move(row));
  return shown(std::move(out));
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
           "SELECT started_at, station, port, customer, imei, imei_fate, unit_serial FROM runs\n"
           "WHERE outcome = 'interrupted' AND started_at >= ? AND started_at < ?\n"
           "  AND (? = '' OR customer = ?) ORDER BY started_at, id",
           {from, to, customer, customer})) {
    InterruptedRun run;
    run.started_at = text::shown_station_text(r[0].value_or(""));
    run.station = text::shown_station_text(r[1].value_or(""));
    run.port = std::strtol(r[2].value_or("0").c_str(), nullptr, 10);
    run.customer = text::shown_station_text(r[3].value_or(""));
    run.imei = text::shown_station_text(r[4].value_or(""));
    run.fate = text::shown_station_text(r[5].value_or(""));
    run.unit_serial = text::shown_station_text(r[6].value_or(""));
    out.push_back(std::move(run));
  }
  return out;
}

std::string format_interrupted(const std::vector<InterruptedRun>& runs) {
  std::vector<std::vector<std::string>> cells{
      {"started", "station", "port", "customer", "unit", "IMEI", "what became of the IMEI"}};
  for (const InterruptedRun& r : runs) {
    cells.push_back({r.started_at, r.station, std::to_string(r.port),
                     r.customer.empty() ? "-" : r.customer,
                     r.unit_serial.empty() ? "-" : r.unit_serial, r.imei.empty() ? "-" : r.imei,
                     r.imei.empty() ? "no IMEI backed up" : (r.fate.empty() ? "-" : r.fate)});
  }
  return aligned(cells, 2, 2);
}

std::string format_table(const std::vector<ReportRow>& rows) {
  std::vector<std::vector<std::string>> cells{{"day", "customer", "runs", "interrupted", "units",
                                               "first-pass yield", "final yield",
                                               "most frequent failing line"}};
  for (const ReportRow& row : rows) {
    cells.push_back({row.day, row.customer.empty() ? "-" : row.customer, std::to_string(row.runs),
                     std::to_string(row.interrupted), std::to_string(row.units),
                     percent_text(row.first_pass_percent()), percent_text(row.final_percent()),
                     failing_text(row)});
  }
  return aligned(cells, 2, 6);
}

std::string format_grouped_table(const std::vector<ReportRow>& rows, GroupBy by) {
  if (by == GroupBy::kDayAndCustomer) return format_table(rows);
  const char* name = by == GroupBy::kPort       ? "port"
                     : by == GroupBy::kOperator ? "operator"
                                                : "customer";
  std::vector<std::string> header{name,         "runs", "interrupted", "units", "first-pass yield",
                                  "final yield"};
  if (by == GroupBy::kPort) header.push_back("red streak");
  header.push_back("most frequent failing line");
  std::vector<std::vector<std::string>> cells{header};
  for (const ReportRow& row : rows) {
    std::vector<std::string> line{
        row.customer.empty() ? "-" : row.customer, std::to_string(row.runs),
        std::to_string(row.interrupted),           std::to_string(row.units),
        percent_text(row.first_pass_percent()),    percent_text(row.final_percent())};
    if (by == GroupBy::kPort) {
      line.push_back(std::to_string(row.red_streak.value_or(0)) +
                     (row.fixture_alarm ? " (check the fixture)" : ""));
    }
    line.push_back(failing_text(row));
    cells.push_back(std::move(line));
  }
  return aligned(cells, 1, 5);
}

std::string format_grouped_csv(const std::vector<ReportRow>& rows, GroupBy by) {
  if (by == GroupBy::kDayAndCustomer) return format_csv(rows);
  const char* name = by == GroupBy::kPort       ? "port"
                     : by == GroupBy::kOperator ? "operator"
                                                : "customer";
  std::string out = std::string(name) +
                    ",runs,interrupted,units,unit_first_runs,unit_first_pass,first_pass_yield,"
                    "unit_final_pass,final_yield,run_units,failing_line,failing_text,failing_count";
  if (by == GroupBy::kPort) out += ",red_streak,fixture_alarm";
  out += "\n";
  for (const ReportRow& row : rows) {
    out += text::csv_text_field(row.customer) + "," + std::to_string(row.runs) + "," +
           std::to_string(row.interrupted) + "," + unit_csv(row) + "," +
           (row.failing_line ? std::to_string(*row.failing_line) : "") + "," +
           text::csv_text_field(row.failing_text) + "," +
           (row.failing_line ? std::to_string(row.failing_count) : "");
    if (by == GroupBy::kPort) {
      out +=
          "," + std::to_string(row.red_streak.value_or(0)) + "," + (row.fixture_alarm ? "1" : "0");
    }
    out += "\n";
  }
  return out;
}

std::string format_csv(const std::vector<ReportRow>& rows) {
  std::string out =
      "day,customer,runs,handsets,first_runs,first_pass,first_pass_yield,failing_line,"
      "failing_text,failing_count,interrupted,units,unit_first_runs,unit_first_pass,"
      "first_pass_unit_yield,unit_final_pass,final_unit_yield,run_units\n";
  for (const ReportRow& row : rows) {
    char yield[16] = "";
    if (auto y = row.yield_percent()) std::snprintf(yield, sizeof yield, "%.1f", *y);
    out += text::csv_text_field(row.day) + "," + text::csv_text_field(row.customer) + "," +
           std::to_string(row.runs) + "," + std::to_string(row.handsets) + "," +
           std::to_string(row.first_runs) + "," + std::to_string(row.first_pass) + "," + yield +
           "," + (row.failing_line ? std::to_string(*row.failing_line) : "") + "," +
           text::csv_text_field(row.failing_text) + "," +
           (row.failing_line ? std::to_string(row.failing_count) : "") + "," +
           std::to_string(row.interrupted) + "," + unit_csv(row) + "\n";
  }
  return out;
}

}  // namespace records
