#include "board/board_service.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "board/board_server.h"
#include "board/line_feed.h"
#include "board/port_alarm.h"
#include "board/store_queries.h"
#include "platform/stop_signals.h"
#include "records/location.h"

namespace board {

namespace {

std::int64_t wall_clock_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int serve(const ServiceOptions& o) {
  FeedOptions feed_options;
  feed_options.location = o.location;
  feed_options.alarm_rule = fixture_alarm_rule(o.fixture_alarm);
  feed_options.runs_kept_per_port = runs_kept_for_alarm(o.fixture_alarm);
  const std::string shown = records::shown_location(o.location);
  feed_options.store_notice = [shown](const std::string& reason) {
    if (reason.empty()) {
      std::fprintf(stderr, "ffsload: the records %s are read again\n", shown.c_str());
    } else {
      std::fprintf(stderr, "ffsload: the records %s cannot be read: %s\n", shown.c_str(),
                   reason.c_str());
    }
  };
  LineFeed feed(feed_options);
  StoreQueries queries(o.location);
  BoardServer server(feed, queries);
  std::string error;
  if (!server.bind(o.host, o.port, &error)) {
    std::fprintf(stderr, "ffsload: %s\n", error.c_str());
    return kServiceCannotListen;
  }
  platform::catch_stop_signals(/*restart=*/true);
  const std::string host = o.host.find(':') != std::string::npos ? "[" + o.host + "]" : o.host;
  std::printf("ffsload board: the records %s on http://%s:%d/\n",
              records::shown_location(o.location).c_str(), host.c_str(), server.port());
  std::fflush(stdout);

  feed.start();
  std::thread serving([&server] { server.serve(); });
  // The page's chart reads the store's last 14 days, which takes seconds on
  // a factory's records: read once now, so that no page waits for it.
  std::thread warm_yield([&feed, &queries] {
    for (int tries = 0; tries < 100 && !platform::stop_requested() && !feed.current()->store_ok;
         ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    try {
      queries.yield_json(kDefaultYieldDays, wall_clock_ms(), feed.current()->yield_version);
    } catch (const std::exception&) {
      // The store is away: the page asks again once it is back.
    }
  });
  // The handler only sets a flag: stopping takes locks and joins threads,
  // which a signal handler must not.
  while (!platform::stop_requested()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server.stop();
  serving.join();
  warm_yield.join();
  std::fprintf(stderr, "ffsload: the board stopped\n");
  return kServiceStopped;
}

}  // namespace board
