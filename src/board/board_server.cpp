#include "board/board_server.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "board/board_assets.h"
#include "board/board_json.h"
#include "board/cfx_status.h"
#include "records/run_record.h"

namespace board {

namespace {

// httplib's own pool queues connections without a bound; this one holds at
// most `queued` waiting connections, and the accepting thread waits while it
// is full, so a flood waits in the kernel's backlog instead of in memory.
class BoundedPool final : public httplib::TaskQueue {
 public:
  BoundedPool(std::size_t threads, std::size_t queued, const std::atomic<bool>& stopping)
      : queued_(queued), stopping_(stopping) {
    for (std::size_t i = 0; i < threads; ++i) {
      workers_.emplace_back([this] { work(); });
    }
  }

  void enqueue(std::function<void()> task) override {
    std::unique_lock lock(mutex_);
    // A task is never dropped: it owns its connection's socket.
    while (jobs_.size() >= queued_ && !stopping_ && !shutdown_) {
      space_.wait_for(lock, std::chrono::milliseconds(100));
    }
    jobs_.push_back(std::move(task));
    ready_.notify_one();
  }

  void shutdown() override {
    {
      std::lock_guard lock(mutex_);
      shutdown_ = true;
    }
    ready_.notify_all();
    space_.notify_all();
    for (std::thread& worker : workers_) worker.join();
  }

 private:
  void work() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return shutdown_ || !jobs_.empty(); });
        if (jobs_.empty()) return;  // shut down, nothing left
        task = std::move(jobs_.front());
        jobs_.pop_front();
      }
      space_.notify_one();
      task();
    }
  }

  std::size_t queued_;
  const std::atomic<bool>& stopping_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::condition_variable space_;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> workers_;
  bool shutdown_ = false;
};

void answer_json(httplib::Response& res, int status, const std::string& body) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(body, "application/json; charset=utf-8");
}

// A query value that is a whole number within [low, high].
std::optional<int> whole_number(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

// "2024-05-01T12:34:56.789Z", the same without milliseconds, or a day; a
// time that does not exist (month 13, 30 February) is refused, not moved on.
std::optional<std::int64_t> instant(const std::string& text) {
  std::string full = text;
  if (text.size() == 20 && text.back() == 'Z') full = text.substr(0, 19) + ".000Z";
  if (text.size() == 10) full = text + "T00:00:00.000Z";
  const auto ms = records::parse_iso8601_utc(full);
  if (!ms || records::iso8601_utc(*ms) != full) return std::nullopt;
  return ms;
}

// Refuses parameters a route does not take, and any given twice: a typo
// must not be answered as if the client had asked for the default.
std::optional<std::string> unexpected_parameter(const httplib::Request& req,
                                                const std::set<std::string>& known) {
  std::set<std::string> seen;
  for (const auto& [name, value] : req.params) {
    if (!known.contains(name)) return "unknown parameter \"" + name + "\"";
    if (!seen.insert(name).second) return "parameter \"" + name + "\" given twice";
  }
  return std::nullopt;
}

}  // namespace

BoardServer::BoardServer(LineFeed& feed, StoreQueries& queries, ServerLimits limits,
                         std::function<std::int64_t()> now_ms)
    : feed_(feed),
      queries_(queries),
      limits_(limits),
      now_ms_(std::move(now_ms)),
      http_(std::make_unique<httplib::Server>()) {
  if (!now_ms_) {
    now_ms_ = [] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::system_clock::now().time_since_epoch())
          .count();
    };
  }
  const std::size_t threads = limits_.live_pages + limits_.spare_threads;
  const std::size_t queued = limits_.queued_connections;
  http_->new_task_queue = [this, threads, queued] {
    return new BoundedPool(threads, queued, stopping_);
  };
  http_->set_read_timeout(limits_.timeout_seconds, 0);
  http_->set_write_timeout(limits_.timeout_seconds, 0);
  http_->set_keep_alive_timeout(limits_.timeout_seconds);
  http_->set_keep_alive_max_count(static_cast<std::size_t>(limits_.keep_alive_requests));
  // The board takes no request bodies.
  http_->set_payload_max_length(1024);
  http_->set_default_headers({
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      {"X-Frame-Options", "DENY"},
  });
  routes();
}

BoardServer::~BoardServer() {
  stop();
}

void BoardServer::routes() {
  http_->Get("/api/ports", [this](const httplib::Request& req, httplib::Response& res) {
    if (auto bad = unexpected_parameter(req, {})) return answer_json(res, 400, error_json(*bad));
    const auto snap = feed_.current();
    if (!snap->store_ok) return answer_json(res, 503, error_json(snap->reason));
    answer_json(res, 200, snap->ports_json);
  });

  http_->Get("/api/runs", [this](const httplib::Request& req, httplib::Response& res) {
    if (auto bad = unexpected_parameter(req, {"since", "limit"})) {
      return answer_json(res, 400, error_json(*bad));
    }
    std::optional<std::int64_t> since;
    if (req.has_param("since")) {
      since = instant(req.get_param_value("since"));
      if (!since) {
        return answer_json(res, 400,
                           error_json("since takes a time as 2024-05-01T12:34:56.789Z (UTC), "
                                      "or a day as 2024-05-01"));
      }
    }
    int limit = kDefaultRunsLimit;
    if (req.has_param("limit")) {
      const auto n = whole_number(req.get_param_value("limit"), 1, kMaxRunsLimit);
      if (!n) {
        return answer_json(
            res, 400,
            error_json("limit takes a whole number from 1 to " + std::to_string(kMaxRunsLimit)));
      }
      limit = *n;
    }
    try {
      answer_json(res, 200, runs_json(queries_.runs(since, limit)));
    } catch (const std::exception& e) {
      answer_json(res, 503, error_json(e.what()));
    }
  });

  http_->Get("/api/yield", [this](const httplib::Request& req, httplib::Response& res) {
    if (auto bad = unexpected_parameter(req, {"days"})) {
      return answer_json(res, 400, error_json(*bad));
    }
    int days = kDefaultYieldDays;
    if (req.has_param("days")) {
      const auto n = whole_number(req.get_param_value("days"), 1, kMaxYieldDays);
      if (!n) {
        return answer_json(
            res, 400,
            error_json("days takes a whole number from 1 to " + std::to_string(kMaxYieldDays)));
      }
      days = *n;
    }
    try {
      answer_json(res, 200, queries_.yield_json(days, now_ms_(), feed_.current()->yield_version));
    } catch (const std::exception& e) {
      answer_json(res, 503, error_json(e.what()));
    }
  });

  // The broker side of the station: its queue of CFX messages, read-only and
  // never created; {"queue": false} for a station without one.
  http_->Get("/api/cfx", [this](const httplib::Request& req, httplib::Response& res) {
    if (auto bad = unexpected_parameter(req, {})) return answer_json(res, 400, error_json(*bad));
    answer_json(res, 200, cfx_status_json(cfx_folder_));
  });

  http_->Get("/api/events", [this](const httplib::Request& req, httplib::Response& res) {
    if (auto bad = unexpected_parameter(req, {})) return answer_json(res, 400, error_json(*bad));
    // Counted before the answer starts and given back by the releaser, which
    // runs however the page's connection ends.
    if (++live_pages_ > limits_.live_pages) {
      --live_pages_;
      return answer_json(res, 503,
                         error_json("too many open pages (" + std::to_string(limits_.live_pages) +
                                    "); close one"));
    }
    res.set_header("Cache-Control", "no-store");
    auto sent = std::make_shared<std::uint64_t>(0);
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, sent](std::size_t, httplib::DataSink& sink) {
          if (*sent == 0) {
            // The browser tries again 2 s after a lost connection.
            const auto snap = feed_.current();
            std::string first = "retry: 2000\n\n" + snap->full_event;
            *sent = snap->version;
            return sink.write(first.data(), first.size());
          }
          const auto snap = feed_.wait_newer(*sent, limits_.heartbeat);
          if (stopping_ || feed_.stopping()) {
            sink.done();
            return true;
          }
          if (snap->version == *sent) {
            static constexpr char kHeartbeat[] = ": still here\n\n";
            return sink.write(kHeartbeat, sizeof kHeartbeat - 1);
          }
          // Each snapshot carries what changed since the one before; a page
          // that is further behind gets the whole board.
          const std::string& event =
              snap->version == *sent + 1 ? snap->delta_event : snap->full_event;
          *sent = snap->version;
          return sink.write(event.data(), event.size());
        },
        [this](bool) { --live_pages_; });
  });

  http_->Get(".*", [](const httplib::Request& req, httplib::Response& res) {
    if (req.path.starts_with("/api/")) {
      return answer_json(res, 404, error_json("no such API: " + req.path));
    }
    const auto asset = find_asset(req.path);
    if (!asset) {
      res.status = 404;
      res.set_content("not found\n", "text/plain; charset=utf-8");
      return;
    }
    if (!req.params.empty()) {
      res.status = 400;
      res.set_content("the page takes no parameters\n", "text/plain; charset=utf-8");
      return;
    }
    res.set_header("Cache-Control", "no-cache");
    // The page runs its own script and style only, and talks to the board alone.
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; script-src 'self'; style-src 'self'; "
                   "connect-src 'self'; img-src 'self'; base-uri 'none'; form-action 'none'; "
                   "frame-ancestors 'none'");
    res.set_content(std::string(asset->body), std::string(asset->content_type));
  });
}

bool BoardServer::bind(const std::string& host, int port, std::string* error) {
  if (port == 0) {
    port_ = http_->bind_to_any_port(host);
    if (port_ > 0) return true;
  } else if (http_->bind_to_port(host, port)) {
    port_ = port;
    return true;
  }
  if (error) {
    *error = "cannot listen on " + host + ":" + std::to_string(port) +
             " (in use, not an address of this PC, or a port below 1024)";
  }
  return false;
}

void BoardServer::serve() {
  serving_ = true;
  if (!stopping_) http_->listen_after_bind();
  serving_ = false;
}

void BoardServer::stop() {
  stopping_ = true;
  // The live pages wait on the feed: it wakes them as it stops.
  feed_.stop();
  // httplib ignores a stop that comes before its loop has started: ask until it ends.
  if (http_) http_->stop();
  while (serving_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    http_->stop();
  }
}

}  // namespace board
