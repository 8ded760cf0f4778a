#include "cli/board_command.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "board/board_server.h"
#include "board/line_feed.h"
#include "board/port_alarm.h"
#include "board/store_queries.h"
#include "platform/stop_signals.h"
#include "records/fixture_alarm.h"
#include "records/location.h"

namespace cli {

namespace {

constexpr int kBoardStopped = 0;
constexpr int kBoardFailed = 1;
constexpr int kBoardUsage = 2;

struct BoardOptions {
  std::string listen = "127.0.0.1:8080";
  std::string records;
  int fixture_alarm = records::kDefaultFixtureAlarmRuns;
};

volatile std::sig_atomic_t g_stop = 0;

void on_stop_signal(int) {
  g_stop = 1;
}

// "ADDR:PORT" or "[IPv6]:PORT"; false when it is neither.
bool split_listen(const std::string& text, std::string* host, int* port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return false;
  std::string address = text.substr(0, colon);
  if (address.front() == '[') {
    if (address.back() != ']' || address.size() < 3) return false;
    address = address.substr(1, address.size() - 2);
  } else if (address.find(':') != std::string::npos) {
    return false;  // IPv6 needs its brackets
  }
  const std::string digits = text.substr(colon + 1);
  if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const int number = std::stoi(digits);
  if (number > 65535) return false;
  *host = address;
  *port = number;
  return true;
}

int board(const BoardOptions& o) {
  std::string host;
  int port = 0;
  if (!split_listen(o.listen, &host, &port)) {
    std::fprintf(stderr,
                 "ffsload: --listen takes ADDR:PORT (127.0.0.1:8080, 0.0.0.0:8080, [::1]:8080), "
                 "not \"%s\"\n",
                 o.listen.c_str());
    return kBoardUsage;
  }
  if (o.fixture_alarm < 0 || o.fixture_alarm > 100) {
    std::fprintf(stderr, "ffsload: --fixture-alarm takes a number of runs from 0 (off) to 100\n");
    return kBoardUsage;
  }
  const records::Location location = records::resolve_location(o.records);
  for (const std::string& warning : location.warnings) {
    std::fprintf(stderr, "ffsload: %s\n", warning.c_str());
  }

  board::FeedOptions feed_options;
  feed_options.location = location.url;
  feed_options.alarm_rule = board::fixture_alarm_rule(o.fixture_alarm);
  feed_options.runs_kept_per_port = board::runs_kept_for_alarm(o.fixture_alarm);
  board::LineFeed feed(feed_options);
  board::StoreQueries queries(location.url);
  board::BoardServer server(feed, queries);
  std::string error;
  if (!server.bind(host, port, &error)) {
    std::fprintf(stderr, "ffsload: %s\n", error.c_str());
    return kBoardFailed;
  }
  g_stop = 0;
  platform::catch_stop_signals(on_stop_signal, /*restart=*/true);
  const std::string shown_host = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  std::printf("ffsload board: the records %s on http://%s:%d/\n",
              records::shown_location(location.url).c_str(), shown_host.c_str(), server.port());
  std::fflush(stdout);

  feed.start();
  std::thread serving([&server] { server.serve(); });
  // The signal handler only sets a flag; the stop itself happens here.
  while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server.stop();
  serving.join();
  std::fprintf(stderr, "ffsload: the board stopped (%s)\n",
               g_stop ? "signal" : "server ended");
  return kBoardStopped;
}

}  // namespace

void add_board_command(CLI::App& app, int* status) {
  auto options = std::make_shared<BoardOptions>();
  CLI::App* sub = app.add_subcommand(
      "board",
      "serve the line board: a read-only web page of every station and port that records to "
      "the store, updated live, with a JSON API");
  sub->add_option("--listen", options->listen,
                  "ADDR:PORT to serve on (default 127.0.0.1:8080; 0.0.0.0:PORT shares it on the "
                  "line's network)");
  sub->add_option("--records", options->records,
                  "the records: a SQLite file or a postgresql:// URL (default: "
                  "$FFSLOAD_RECORDS, else \"records = URL\" in ffsload.conf, else runs.sqlite)");
  sub->add_option("--fixture-alarm", options->fixture_alarm,
                  "raise a port's fixture alarm after this many red runs in a row on as many "
                  "units (default 3; 0 turns it off)");
  sub->footer("Exit status: 0 stopped by SIGINT or SIGTERM, 1 cannot listen, 2 bad usage.");
  sub->callback([options, status] { *status = board(*options); });
}

}  // namespace cli
