#include "board/store_queries.h"

#include <cstdio>

#include "board/board_json.h"
#include "records/location.h"
#include "records/report.h"
#include "records/run_record.h"

namespace board {

StoreQueries::StoreQueries(std::string location, Opener open)
    : location_(std::move(location)), open_(std::move(open)) {
  if (!open_) {
    open_ = [](const std::string& where) {
      return records::open_store(where, records::OpenFor::kReading);
    };
  }
}

template <typename F>
auto StoreQueries::with_store(F&& work) {
  try {
    // A store that is no longer the one at the location answers from the
    // old one: the one there now is opened instead.
    if (store_ && !store_->changed_at_location().empty()) {
      reader_.reset();
      store_.reset();
    }
    if (!store_) {
      store_ = open_(location_);
      reader_ = std::make_unique<RowReader>(*store_);
    }
    return work();
  } catch (const std::exception& e) {
    // Asked again, the store is opened anew: a server back after a restart
    // answers the next request.
    reader_.reset();
    store_.reset();
    throw records::StoreError(records::without_password(e.what(), location_));
  }
}

std::vector<BoardRow> StoreQueries::runs(std::optional<std::int64_t> since_ms, int limit) {
  std::lock_guard lock(mutex_);
  return with_store([&] { return reader_->newest(since_ms, limit); });
}

std::string StoreQueries::yield_json(int days, std::int64_t now_ms, std::uint64_t generation) {
  std::lock_guard lock(mutex_);
  YieldCache& cache = yield_cache_[days];
  if (cache.generation == generation && !cache.json.empty()) return cache.json;
  const std::string today = records::iso8601_utc(now_ms).substr(0, 10);
  const std::string first =
      records::iso8601_utc(now_ms - static_cast<std::int64_t>(days - 1) * 86'400'000).substr(0, 10);
  // The earlier days are read again every kWholeYieldEveryMs (a unit's retest
  // today changes its day's final yield); in between only today is, which
  // costs a fraction of the whole.
  if (cache.today != today || cache.json.empty() ||
      now_ms - cache.whole_read_at_ms >= kWholeYieldEveryMs) {
    records::ReportFilter filter;
    filter.since = first;
    filter.until = today;
    const auto rows = with_store([&] { return records::build_report(*store_, filter); });
    cache.earlier.clear();
    for (const records::ReportRow& row : rows) {
      if (row.day != today) cache.earlier.push_back(row);
    }
    cache.today_rows.clear();
    for (const records::ReportRow& row : rows) {
      if (row.day == today) cache.today_rows.push_back(row);
    }
    cache.whole_read_at_ms = now_ms;
    cache.today = today;
  } else {
    records::ReportFilter filter;
    filter.since = today;
    filter.until = today;
    cache.today_rows = with_store([&] { return records::build_report(*store_, filter); });
  }
  std::string json = "{\"days\":" + std::to_string(days) + ",\"first_day\":" + json_string(first) +
                     ",\"last_day\":" + json_string(today) + ",\"rows\":[";
  bool comma = false;
  auto percent = [](const std::optional<double>& p) {
    if (!p) return std::string("null");
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", *p);
    return std::string(text);
  };
  for (const auto* part : {&cache.earlier, &cache.today_rows}) {
    for (const records::ReportRow& row : *part) {
      json += comma ? ",{" : "{";
      comma = true;
      json += "\"day\":" + json_string(row.day) + ",\"customer\":" + json_string(row.customer) +
              ",\"runs\":" + std::to_string(row.runs) + ",\"units\":" + std::to_string(row.units) +
              ",\"first_pass_yield\":" + percent(row.first_pass_percent()) +
              ",\"final_yield\":" + percent(row.final_percent()) + "}";
    }
  }
  json += "]}";
  cache.generation = generation;
  cache.json = json;
  return json;
}

}  // namespace board
