// The board's own questions to the store, asked when a client asks: the
// newest runs and the yield per day. One connection, shared under a lock,
// opened again after a failure so that the board recovers with its store.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "board/board_row.h"
#include "records/report.h"
#include "records/store.h"

namespace board {

// How often the yield's earlier days are read again; today's every time.
constexpr std::int64_t kWholeYieldEveryMs = 10 * 60'000;

class StoreQueries {
 public:
  using Opener = std::function<std::unique_ptr<records::Store>(const std::string&)>;
  explicit StoreQueries(std::string location, Opener open = {});

  // Throw records::StoreError (with no password in it) when the store cannot answer.
  std::vector<BoardRow> runs(std::optional<std::int64_t> since_ms, int limit);
  // The yield per customer and day (UTC) of the last `days` days up to
  // today, as /api/yield answers: units, and the units' first-pass and final
  // yield as "ffsload report" counts them; kept for as long as `generation` stays the
  // same (the line feed moves it on when the runs changed).
  std::string yield_json(int days, std::int64_t now_ms, std::uint64_t generation);

 private:
  template <typename F>
  auto with_store(F&& work);

  std::string location_;
  Opener open_;
  std::mutex mutex_;
  std::unique_ptr<records::Store> store_;
  std::unique_ptr<RowReader> reader_;
  struct YieldCache {
    std::uint64_t generation = 0;
    std::string json;
    std::string today;                           // the day "today" was
    std::vector<records::ReportRow> earlier;     // the days before it
    std::vector<records::ReportRow> today_rows;
    std::int64_t whole_read_at_ms = 0;
  };
  std::map<int, YieldCache> yield_cache_;
};

}  // namespace board
