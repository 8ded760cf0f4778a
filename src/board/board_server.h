// The board's HTTP side: the page, its live events and the JSON API, read
// from the line feed's snapshots and the store's answers. Bounded on every
// side a client could push: threads, queued connections, live pages,
// keep-alive, request sizes and timeouts.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "board/line_feed.h"
#include "board/store_queries.h"

namespace httplib {
class Server;
}

namespace board {

struct ServerLimits {
  std::size_t live_pages = 128;    // open pages with live updates at once
  std::size_t spare_threads = 16;  // for everything else besides them
  std::size_t queued_connections = 64;
  int timeout_seconds = 5;  // to read a request, or to write a piece of an answer
  int keep_alive_requests = 100;
  std::chrono::seconds heartbeat{15};  // a comment on a quiet live page, to find it closed
};

// The limits of a query's values.
constexpr int kMaxRunsLimit = 1000;
constexpr int kDefaultRunsLimit = 100;
constexpr int kMaxYieldDays = 366;
constexpr int kDefaultYieldDays = 14;

class BoardServer {
 public:
  BoardServer(LineFeed& feed, StoreQueries& queries, ServerLimits limits = {},
              std::function<std::int64_t()> now_ms = {});
  ~BoardServer();
  BoardServer(const BoardServer&) = delete;
  BoardServer& operator=(const BoardServer&) = delete;

  // Binds host:port (port 0: any free port); false with *error when it cannot.
  bool bind(const std::string& host, int port, std::string* error);
  int port() const { return port_; }
  // The station folder whose queue of factory-network messages /api/cfx
  // reports ("." unless set).
  void set_cfx_folder(const std::string& folder) { cfx_folder_ = folder; }
  // Serves until stop(); call after bind.
  void serve();
  // Ends every live page and the serving; safe from another thread.
  void stop();
  std::size_t live_pages() const { return live_pages_; }

 private:
  void routes();

  LineFeed& feed_;
  StoreQueries& queries_;
  ServerLimits limits_;
  std::function<std::int64_t()> now_ms_;
  std::unique_ptr<httplib::Server> http_;
  int port_ = 0;
  std::string cfx_folder_ = ".";
  std::atomic<std::size_t> live_pages_{0};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> serving_{false};
};

}  // namespace board
