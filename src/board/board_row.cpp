#include "board/board_row.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "records/run_record.h"
#include "records/schema.h"

namespace board {

namespace {

// The columns that came with the unit's serial and the operator.
constexpr int kUnitColumnsVersion = 3;

std::optional<long> number(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  char* end = nullptr;
  const long value = std::strtol(text->c_str(), &end, 10);
  if (end == text->c_str()) return std::nullopt;
  return value;
}

std::int64_t milliseconds(const std::optional<std::string>& text) {
  return text ? records::parse_iso8601_utc(*text).value_or(0) : 0;
}

BoardRow row_of(const records::Row& v) {
  BoardRow r;
  if (v.size() != 22) return r;
  auto text = [&](int i) { return v[i].value_or(""); };
  r.id = number(v[0]).value_or(0);
  r.uid = text(1);
  r.started_at_ms = milliseconds(v[2]);
  r.ended_at_ms = milliseconds(v[3]);
  r.station = text(4);
  r.port = static_cast<int>(number(v[5]).value_or(0));
  r.device = text(6);
  r.customer = text(7);
  r.script = text(8);
  r.ma_no = text(9);
  r.imei = v[10];
  r.outcome = text(11);
  r.failed_line = number(v[12]);
  r.failed_text = v[13];
  r.failed_status = number(v[14]);
  r.imei_fate = v[15];
  r.tool_version = text(16);
  r.revision = number(v[17]).value_or(0);
  r.unit_serial = v[18];
  r.operator_id = v[19];
  r.attempt = number(v[20]);
  r.fixture = v[21];
  return r;
}

std::string id_list(const std::vector<std::int64_t>& ids, std::size_t from, std::size_t to) {
  std::string list;
  for (std::size_t i = from; i < to; ++i) {
    if (!list.empty()) list += ", ";
    list += std::to_string(ids[i]);
  }
  return list;
}

}  // namespace

RowReader::RowReader(records::Store& store) : store_(store) {
  const auto version =
      store_.query(std::string("SELECT max(version) FROM ") + records::kVersionTable, {});
  version_ = version.empty() ? 0 : static_cast<int>(number(version[0][0]).value_or(0));
  columns_ =
      "id, uid, started_at, ended_at, station, port, device, customer, script, ma_no, imei, "
      "outcome, failed_line, failed_text, failed_status, imei_fate, tool_version, revision, ";
  // A store from before the unit columns reads them as null, so that one
  // board serves a line whose stations are not all upgraded yet.
  columns_ += version_ >= kUnitColumnsVersion
                  ? "unit_serial, operator, attempt, fixture"
                  : "NULL AS unit_serial, NULL AS operator, NULL AS attempt, NULL AS fixture";
}

std::vector<BoardRow> RowReader::rows(const std::string& where_and_order,
                                      const std::vector<std::string>& params) {
  std::vector<BoardRow> result;
  for (const records::Row& row :
       store_.query("SELECT " + columns_ + " FROM runs " + where_and_order, params)) {
    result.push_back(row_of(row));
  }
  return result;
}

std::vector<BoardRow> RowReader::after_id(std::int64_t after, int limit) {
  return rows("WHERE id > " + std::to_string(after) + " ORDER BY id LIMIT " +
                  std::to_string(limit),
              {});
}

std::vector<BoardRow> RowReader::by_ids(const std::vector<std::int64_t>& ids) {
  std::vector<BoardRow> result;
  constexpr std::size_t kChunk = 500;
  for (std::size_t from = 0; from < ids.size(); from += kChunk) {
    const std::size_t to = std::min(ids.size(), from + kChunk);
    auto chunk = rows("WHERE id IN (" + id_list(ids, from, to) + ")", {});
    result.insert(result.end(), chunk.begin(), chunk.end());
  }
  return result;
}

std::vector<BoardRow> RowReader::newest(std::optional<std::int64_t> since_ms, int limit) {
  // started_at is ISO 8601 text of one fixed width: text order is time order,
  // and the report's index on it serves both the range and the order.
  const std::string order = " ORDER BY started_at DESC, id DESC LIMIT " + std::to_string(limit);
  if (!since_ms) return rows(order, {});
  return rows("WHERE started_at >= ?" + order, {records::iso8601_utc(*since_ms)});
}

std::vector<BoardRow> RowReader::pending_imeis() {
  return rows("WHERE outcome = 'interrupted' AND imei_fate = 'pending' ORDER BY started_at, id",
              {});
}

std::vector<BoardRow> RowReader::started_since(std::int64_t since_ms) {
  return rows("WHERE started_at >= ?", {records::iso8601_utc(since_ms)});
}

bool RowReader::has_port_index() const {
  return version_ >= kUnitColumnsVersion;
}

std::vector<std::pair<std::string, int>> RowReader::ports() {
  std::vector<std::pair<std::string, int>> found;
  for (const records::Row& row :
       store_.query("SELECT DISTINCT station, port FROM runs ORDER BY station, port", {})) {
    if (row.size() == 2 && row[0] && row[1]) {
      found.emplace_back(*row[0], static_cast<int>(number(row[1]).value_or(0)));
    }
  }
  return found;
}

std::vector<BoardRow> RowReader::port_runs(const std::string& station, int port, int limit) {
  return rows("WHERE station = ? AND port = ? ORDER BY started_at DESC, id DESC LIMIT " +
                  std::to_string(limit),
              {station, std::to_string(port)});
}

void RowReader::fill_first_attempts(std::vector<BoardRow>& rows_in) {
  // The IMEIs whose runs carry no attempt number, and the first start of each.
  std::map<std::string, std::string> first_start;
  for (BoardRow& row : rows_in) {
    if (row.attempt) {
      row.first_attempt = *row.attempt <= 1;
    } else if (row.imei) {
      first_start.emplace(*row.imei, "");
    } else {
      row.first_attempt = true;
    }
  }
  if (first_start.empty()) return;
  std::vector<std::string> imeis;
  for (const auto& entry : first_start) imeis.push_back(entry.first);
  constexpr std::size_t kChunk = 200;
  for (std::size_t from = 0; from < imeis.size(); from += kChunk) {
    const std::size_t to = std::min(imeis.size(), from + kChunk);
    std::string marks;
    std::vector<std::string> params;
    for (std::size_t i = from; i < to; ++i) {
      marks += marks.empty() ? "?" : ", ?";
      params.push_back(imeis[i]);
    }
    // The handset index (imei, started_at, id) answers this without the table.
    for (const records::Row& row : store_.query(
             "SELECT imei, min(started_at) FROM runs WHERE imei IN (" + marks + ") GROUP BY imei",
             params)) {
      if (row.size() == 2 && row[0] && row[1]) first_start[*row[0]] = *row[1];
    }
  }
  for (BoardRow& row : rows_in) {
    if (row.attempt || !row.imei) continue;
    const std::string& first = first_start[*row.imei];
    row.first_attempt = first.empty() || records::iso8601_utc(row.started_at_ms) <= first;
  }
}

std::int64_t RowReader::max_id() {
  const auto rows_found = store_.query("SELECT max(id) FROM runs", {});
  return rows_found.empty() ? 0 : number(rows_found[0][0]).value_or(0);
}

}  // namespace board
