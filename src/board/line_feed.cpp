#include "board/line_feed.h"

#include <algorithm>
#include <chrono>

#include "board/board_json.h"
#include "records/location.h"

namespace board {

namespace {

constexpr std::int64_t kDayMs = 86'400'000;
// Rows read again at every poll below the highest id seen: a PostgreSQL
// transaction may commit a lower id after a higher one became visible. The
// server tells of every commit too (Store::committed_ids); this window
// covers a database whose writers cannot tell.
constexpr std::int64_t kRecentIdsReread = 64;
constexpr int kLoadBatch = 20'000;
constexpr int kChangeBatch = 5'000;

std::int64_t day_start(std::int64_t ms) {
  return ms - ((ms % kDayMs) + kDayMs) % kDayMs;
}

std::int64_t wall_clock_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Fills first_attempt for the runs of today, the only ones it is counted for.
void fill_today(RowReader& reader, std::vector<BoardRow>& rows, std::int64_t today) {
  std::vector<BoardRow> of_today;
  for (const BoardRow& row : rows) {
    if (row.started_at_ms >= today && row.ended()) of_today.push_back(row);
  }
  if (of_today.empty()) return;
  reader.fill_first_attempts(of_today);
  std::size_t next = 0;
  for (BoardRow& row : rows) {
    if (row.started_at_ms >= today && row.ended())
      row.first_attempt = of_today[next++].first_attempt;
  }
}

std::size_t fingerprint(const std::vector<BoardRow>& rows) {
  std::size_t h = rows.size();
  auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
  for (const BoardRow& r : rows) {
    mix(static_cast<std::size_t>(r.id));
    mix(static_cast<std::size_t>(r.revision));
    mix(std::hash<std::string>{}(r.outcome));
    mix(std::hash<std::string>{}(r.imei_fate.value_or("")));
  }
  return h;
}

}  // namespace

LineFeed::LineFeed(FeedOptions options) : options_(std::move(options)) {
  if (!options_.now_ms) options_.now_ms = wall_clock_ms;
  if (!options_.open) {
    options_.open = [](const std::string& location) {
      return records::open_store(location, records::OpenFor::kReading);
    };
  }
  auto first = std::make_shared<Snapshot>();
  first->reason = "the records have not been read yet";
  snapshot_ = first;
}

LineFeed::~LineFeed() {
  stop();
}

void LineFeed::poll_once() {
  try {
    if (!store_) {
      store_ = options_.open(options_.location);
      reader_ = std::make_unique<RowReader>(*store_);
      load_everything();
      publish();
      return;
    }
    // A records file deleted, replaced or cut short, a database made again:
    // said at once, and the store at the location is read from the start at
    // the next poll.
    if (const std::string why = store_->changed_at_location(); !why.empty()) {
      store_lost(records::without_password(why, options_.location));
      return;
    }
    const std::int64_t now = options_.now_ms();
    bool changed = model_->start_day(day_start(now));
    changed |= read_changes();
    yield_dirty_ |= changed;
    if (yield_dirty_ && now - yield_bumped_ms_ >= options_.yield_interval.count()) {
      ++yield_version_;
      yield_bumped_ms_ = now;
      yield_dirty_ = false;
      changed = true;
    }
    if (changed) publish();
  } catch (const std::exception& e) {
    store_lost(records::without_password(e.what(), options_.location));
  }
}

void LineFeed::load_everything() {
  model_ = std::make_unique<LineModel>(options_.runs_kept_per_port);
  const std::int64_t now = options_.now_ms();
  const std::int64_t today = day_start(now);
  model_->start_day(today);
  if (reader_->has_port_index()) {
    // What the board shows, by the indexes: each port's last runs, today's
    // runs and the pending IMEIs; never the whole table.
    const std::int64_t max_id = reader_->max_id();
    std::vector<BoardRow> rows;
    for (const auto& [station, port] : reader_->ports()) {
      auto runs =
          reader_->port_runs(station, port, static_cast<int>(options_.runs_kept_per_port) + 1);
      rows.insert(rows.end(), runs.begin(), runs.end());
    }
    auto of_today = reader_->started_since(today);
    rows.insert(rows.end(), of_today.begin(), of_today.end());
    auto pending = reader_->pending_imeis();
    rows.insert(rows.end(), pending.begin(), pending.end());
    fill_today(*reader_, rows, today);
    for (const BoardRow& row : rows) model_->apply(row);
    model_->note_max_id(max_id);
  } else {
    for (std::int64_t after = 0;;) {
      std::vector<BoardRow> rows = reader_->after_id(after, kLoadBatch);
      if (rows.empty()) break;
      fill_today(*reader_, rows, today);
      for (const BoardRow& row : rows) model_->apply(row);
      after = rows.back().id;
      if (rows.size() < static_cast<std::size_t>(kLoadBatch)) break;
    }
  }
  last_fingerprint_ = 0;
  last_cards_.clear();
  ++yield_version_;
  yield_bumped_ms_ = now;
  yield_dirty_ = false;
}

bool LineFeed::read_changes() {
  // Asked first: a run told now is read below, by its id or in the window.
  const std::vector<std::int64_t> told = store_->committed_ids();
  const std::int64_t window = std::max<std::int64_t>(0, model_->max_id() - kRecentIdsReread);
  std::vector<BoardRow> rows;
  for (std::int64_t after = window;;) {
    std::vector<BoardRow> batch = reader_->after_id(after, kChangeBatch);
    if (batch.empty()) break;
    after = batch.back().id;
    const bool more = batch.size() == static_cast<std::size_t>(kChangeBatch);
    rows.insert(rows.end(), std::make_move_iterator(batch.begin()),
                std::make_move_iterator(batch.end()));
    if (!more) break;
  }
  // The runs the cards watch, and those the server says were committed late,
  // below the ids already read.
  std::vector<std::int64_t> ids = model_->watched_ids();
  for (std::int64_t id : told) {
    if (id <= window) ids.push_back(id);
  }
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  std::vector<BoardRow> watched = reader_->by_ids(ids);
  rows.insert(rows.end(), std::make_move_iterator(watched.begin()),
              std::make_move_iterator(watched.end()));
  // An idle line: the same rows at the same revisions as last time.
  const std::size_t print = fingerprint(rows);
  if (print == last_fingerprint_) return false;
  last_fingerprint_ = print;
  fill_today(*reader_, rows, model_->day_start_ms());
  bool changed = false;
  for (const BoardRow& row : rows) changed |= model_->apply(row);
  return changed;
}

void LineFeed::store_lost(const std::string& reason) {
  store_.reset();
  reader_.reset();
  model_.reset();
  last_cards_.clear();
  if (last_ok_ || reason != last_reason_ || current()->version == 0) {
    last_reason_ = reason;
    publish();
  }
}

void LineFeed::publish() {
  auto snap = std::make_shared<Snapshot>();
  snap->version = current()->version + 1;
  snap->store_ok = model_ != nullptr;
  snap->reason = snap->store_ok ? "" : last_reason_;
  snap->yield_version = yield_version_;
  const std::string store =
      std::string("{\"ok\":") + (snap->store_ok ? "true" : "false") +
      ",\"reason\":" + (snap->store_ok ? "null" : json_string(one_line(snap->reason))) +
      ",\"location\":" + json_string(records::shown_location(options_.location)) + "}";
  const std::string head = "{\"version\":" + std::to_string(snap->version) + ",\"store\":" + store +
                           ",\"yield_version\":" + std::to_string(yield_version_);
  if (!snap->store_ok) {
    snap->full_event = "event: board\ndata: " + head + ",\"full\":false,\"cards\":[]}\n\n";
    snap->delta_event = snap->full_event;
  } else {
    const LineView view = model_->view(options_.alarm_rule);
    snap->ports_json = ports_json(view);
    const bool everything = last_cards_.empty();
    std::string all = "[";
    std::string changed = "[";
    std::map<std::pair<std::string, int>, std::string> cards;
    for (const PortCard& card : view.cards) {
      std::string json = card_json(card, true);
      all += (all.size() > 1 ? "," : "") + json;
      auto previous = last_cards_.find({card.station, card.port});
      if (everything || previous == last_cards_.end() || previous->second != json) {
        changed += (changed.size() > 1 ? "," : "") + json;
      }
      cards.emplace(std::make_pair(card.station, card.port), std::move(json));
    }
    last_cards_ = std::move(cards);
    const std::string lists = lists_json(view);
    snap->full_event = "event: board\ndata: " + head + ",\"full\":true,\"cards\":" + all +
                       "],\"lists\":" + lists + "}\n\n";
    snap->delta_event = "event: board\ndata: " + head +
                        ",\"full\":" + (everything ? "true" : "false") + ",\"cards\":" + changed +
                        "],\"lists\":" + lists + "}\n\n";
  }
  last_ok_ = snap->store_ok;
  const std::string reason = one_line(snap->reason);
  {
    std::lock_guard lock(mutex_);
    snapshot_ = std::move(snap);
  }
  changed_.notify_all();
  // Told once the snapshot is out: what the log says, the API answers.
  if (options_.store_notice && reason != last_noticed_) {
    last_noticed_ = reason;
    options_.store_notice(last_noticed_);
  }
}

std::shared_ptr<const Snapshot> LineFeed::current() const {
  std::lock_guard lock(mutex_);
  return snapshot_;
}

std::shared_ptr<const Snapshot> LineFeed::wait_newer(std::uint64_t version,
                                                     std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout,
                    [&] { return snapshot_->version > version || stopping_.load(); });
  return snapshot_;
}

void LineFeed::start() {
  thread_ = std::thread([this] {
    while (!stopping_) {
      poll_once();
      std::unique_lock lock(mutex_);
      changed_.wait_for(lock, options_.poll_interval, [&] { return stopping_.load(); });
    }
  });
}

void LineFeed::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

}  // namespace board
