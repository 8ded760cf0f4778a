// The one poll of the store behind every open page: it keeps the line's
// model up to date and publishes each change once, as a snapshot that every
// client shares. An idle poll reads a few rows by their key; the model is
// rebuilt from the whole store only at start and after the store was away.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "board/line_model.h"
#include "records/store.h"

namespace board {

// What every client is sent, built once per change.
struct Snapshot {
  std::uint64_t version = 0;
  bool store_ok = false;
  std::string reason;      // why the store cannot be read; never holds a password
  std::string ports_json;  // GET /api/ports
  // The page's events: the whole board, and what changed since version - 1.
  std::string full_event;
  std::string delta_event;
  std::uint64_t yield_version = 0;
};

struct FeedOptions {
  std::string location;  // the records: a SQLite path or a postgresql:// URL
  std::chrono::milliseconds poll_interval{500};
  // The yield chart is read from the store's days, not from the model: at
  // most this often, and only when runs changed meanwhile.
  std::chrono::milliseconds yield_interval{60'000};
  std::size_t runs_kept_per_port = 16;
  AlarmRule alarm_rule;
  std::function<std::int64_t()> now_ms;  // the wall clock, UTC milliseconds
  // Opens the store; records::open_store for reading unless a test says otherwise.
  std::function<std::unique_ptr<records::Store>(const std::string&)> open;
  // Told once each time the store becomes unreadable (with the reason, on
  // one line), changes its reason, or is read again after that (""), from
  // the polling thread: the board's log of its store.
  std::function<void(const std::string& reason)> store_notice;
};

class LineFeed {
 public:
  explicit LineFeed(FeedOptions options);
  ~LineFeed();
  LineFeed(const LineFeed&) = delete;
  LineFeed& operator=(const LineFeed&) = delete;

  // One poll: opens the store if it is not open, reads what changed and
  // publishes a new snapshot when anything shown did. Never throws.
  void poll_once();

  // Polls on a thread of its own until stop().
  void start();
  void stop();

  std::shared_ptr<const Snapshot> current() const;
  // Waits until a snapshot newer than `version` is out, the timeout passes
  // or the feed stops; returns the current snapshot.
  std::shared_ptr<const Snapshot> wait_newer(std::uint64_t version,
                                             std::chrono::milliseconds timeout) const;
  bool stopping() const { return stopping_; }

 private:
  void load_everything();
  bool read_changes();
  void publish();
  void store_lost(const std::string& reason);

  FeedOptions options_;
  std::unique_ptr<records::Store> store_;
  std::unique_ptr<RowReader> reader_;
  std::unique_ptr<LineModel> model_;
  std::size_t last_fingerprint_ = 0;
  std::map<std::pair<std::string, int>, std::string> last_cards_;
  std::string last_reason_;
  bool last_ok_ = false;
  std::string last_noticed_;  // the reason last told; "" while read
  bool yield_dirty_ = false;
  std::int64_t yield_bumped_ms_ = 0;
  std::uint64_t yield_version_ = 1;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::shared_ptr<const Snapshot> snapshot_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace board
