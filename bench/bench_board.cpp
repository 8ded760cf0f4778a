// What the line board costs on a factory's scale: 50 stations of 8 ports and
// a million runs in one SQLite file. The board runs as the real program
// (ffsload board, in a process of its own) and is measured from outside:
//
// - how long it takes to read the store before it first answers;
// - GET /api/ports, one request at a time: median and 95th percentile;
// - the page's first load: the page, its style and script, its first live
//   event and the 14 days' yield, as a browser asks for them;
// - the board's CPU while 100 pages stay open with live updates and the line
//   starts and ends 16 runs a second.
//
//   bench_board [RECORDS] [FILE]   (default 1000000 records in
//                                   /tmp/ffsload-bench-board-RECORDS.sqlite,
//                                   kept between runs: filling takes minutes)
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "records/sqlite_store.h"
#include "support/measure.h"

namespace {

using testing_support::median;
using testing_support::percentile;
using testing_support::print_figure;
using Clock = std::chrono::steady_clock;

constexpr int kStations = 50;
constexpr int kPorts = 8;
constexpr std::int64_t kDayMs = 86'400'000;
constexpr int kDays = 60;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::int64_t now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

// The run log of the example station's main.tms is about 1.4 kB.
std::string sample_log() {
  std::string log;
  for (int i = 0; i < 40; ++i) log += "fwr rf/tx/levels.gsm /gsm/rf/tx/levels.gsm  => 0 (1)\n";
  return log.substr(0, 1400);
}

records::RunRecord run_of(long n, std::int64_t start_ms, const std::string& outcome,
                          const std::string& log) {
  records::RunRecord r;
  const int port_index = static_cast<int>(n % (kStations * kPorts));
  r.station = "line1-st" + std::to_string(port_index / kPorts + 1);
  r.port = port_index % kPorts + 1;
  r.uid = r.station + "-" + std::to_string(start_ms) + "-" + std::to_string(n);
  r.started_at_ms = start_ms;
  r.ended_at_ms = outcome == "running" ? start_ms : start_ms + 25'000;
  r.device = "/dev/serial/by-id/usb-FTDI_fixture" + std::to_string(r.port);
  r.fixture = r.device;
  r.customer = std::to_string(1 + n % 4);
  r.script = "main.tms";
  r.ma_no = "ORD4711-04";
  // One unit in ten comes back for a second attempt.
  const long unit = n % 10 == 9 ? n - 400 : n;
  char serial[32];
  std::snprintf(serial, sizeof serial, "SN%09ld", unit);
  r.unit_serial = serial;
  char imei[24];
  std::snprintf(imei, sizeof imei, "35%014ld", unit);
  r.imei = imei;
  r.attempt = n % 10 == 9 ? 2 : 1;
  r.operator_id = "op" + std::to_string(n % 37);
  r.outcome = outcome;
  if (outcome == "red") {
    r.failed_line = 10 + static_cast<int>(n % 7);
    r.failed_text = "compare IMEI IMEI";
    r.failed_status = 100;
  }
  r.log = outcome == "running" ? "" : log;
  r.tool_version = "0.9.0";
  r.revision = outcome == "running" ? 1 : 3;
  return r;
}

long count_runs(const std::string& file) {
  try {
    records::SqliteStore store(file, records::OpenFor::kReading);
    const auto rows = store.query("SELECT count(*) FROM runs", {});
    return rows.empty() || !rows[0][0] ? 0 : std::stol(*rows[0][0]);
  } catch (const records::StoreError&) {
    return -1;
  }
}

// Fills `file` with `count` runs over the last 60 days, the newest ending now.
void fill(const std::string& file, long count) {
  if (count_runs(file) == count) {
    std::printf("reusing %s (%ld runs)\n", file.c_str(), count);
    return;
  }
  std::filesystem::remove(file);
  std::filesystem::remove(file + "-wal");
  std::filesystem::remove(file + "-shm");
  const std::string log = sample_log();
  const std::int64_t first = now_ms() - kDays * kDayMs;
  const double step = static_cast<double>(kDays * kDayMs) / static_cast<double>(count);
  records::SqliteStore store(file, records::OpenFor::kWriting);
  std::mt19937 random(7);
  const auto t0 = Clock::now();
  std::vector<records::RunRecord> batch;
  for (long n = 0; n < count; ++n) {
    const int roll = static_cast<int>(random() % 100);
    const std::string outcome = roll < 91 ? "green" : roll < 98 ? "red" : "no run";
    batch.push_back(
        run_of(n, first + static_cast<std::int64_t>(static_cast<double>(n) * step), outcome, log));
    if (batch.size() == 5000 || n + 1 == count) {
      store.append(batch);
      batch.clear();
    }
  }
  std::printf("filled %s with %ld runs in %.0f s\n", file.c_str(), count, ms_since(t0) / 1000);
}

// The board program, started on a free port; its URL from its first line.
struct Board {
  pid_t pid = -1;
  int port = 0;
};

Board start_board(const std::string& file) {
  int out[2];
  if (pipe(out) != 0) std::exit(1);
  Board board;
  board.pid = fork();
  if (board.pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execl(FFSLOAD_BIN, FFSLOAD_BIN, "board", "--listen", "127.0.0.1:0", "--records", file.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string line;
  char c = 0;
  while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
  close(out[0]);
  const auto colon = line.rfind(':');
  if (colon == std::string::npos) {
    std::fprintf(stderr, "the board did not start: %s\n", line.c_str());
    std::exit(1);
  }
  board.port = std::atoi(line.c_str() + colon + 1);
  return board;
}

double cpu_seconds_of(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14 || i == 15) ticks += std::stod(field);  // utime, stime
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::atol(argv[1]) : 1'000'000;
  const std::string file = argc > 2 ? argv[2]
                                    : "/tmp/ffsload-bench-board-" + std::to_string(count) +
                                          ".sqlite";
  fill(file, count);

  // Start-up: until the board answers /api/ports with the store read.
  const auto started = Clock::now();
  const Board board = start_board(file);
  httplib::Client client("127.0.0.1", board.port);
  client.set_read_timeout(30, 0);
  for (;;) {
    auto res = client.Get("/api/ports");
    if (res && res->status == 200) break;
    if (ms_since(started) > 120'000) {
      std::fprintf(stderr, "the board never read the store\n");
      kill(board.pid, SIGTERM);
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const double startup_ms = ms_since(started);
  std::printf("start-up: %.0f ms until /api/ports answered\n", startup_ms);
  print_figure("board start-up, 1M runs", format("%.0f ms", startup_ms), "");

  // The 14 days' yield, which the board reads once at start for the pages.
  {
    auto res = client.Get("/api/yield?days=14");
    if (!res || res->status != 200) {
      std::fprintf(stderr, "GET /api/yield failed\n");
      return 1;
    }
    const double ready_ms = ms_since(started);
    std::printf("the 14 days' yield ready %.0f ms after the start\n", ready_ms);
    print_figure("board yield chart ready after start, 1M runs", format("%.0f ms", ready_ms), "");
  }

  // /api/ports, one request after another.
  std::vector<double> ports_ms;
  std::size_t ports_bytes = 0;
  for (int i = 0; i < 500; ++i) {
    const auto t0 = Clock::now();
    auto res = client.Get("/api/ports");
    ports_ms.push_back(ms_since(t0));
    if (!res || res->status != 200) {
      std::fprintf(stderr, "GET /api/ports failed\n");
      return 1;
    }
    ports_bytes = res->body.size();
  }
  std::printf("/api/ports: %zu bytes, median %.2f ms, p95 %.2f ms (500 requests)\n", ports_bytes,
              median(ports_ms), percentile(ports_ms, 0.95));
  print_figure("board /api/ports p95", format("%.2f ms", percentile(ports_ms, 0.95)), "< 50 ms");

  // The first load of the page, as a browser makes it: the page, then its
  // style and script, then the live events' first message and the yield.
  auto first_load = [&] {
    httplib::Client browser("127.0.0.1", board.port);
    browser.set_read_timeout(30, 0);
    const auto t0 = Clock::now();
    for (const char* path : {"/", "/board.css", "/board.js"}) {
      auto res = browser.Get(path);
      if (!res || res->status != 200) return -1.0;
    }
    bool got_event = false;
    httplib::Client live("127.0.0.1", board.port);
    live.Get("/api/events", [&](const char* data, std::size_t length) {
      got_event = std::string_view(data, length).find("event: board") != std::string::npos;
      return !got_event;
    });
    auto yield = browser.Get("/api/yield?days=14");
    if (!got_event || !yield || yield->status != 200) return -1.0;
    return ms_since(t0);
  };
  const double first = first_load();
  std::vector<double> loads;
  for (int i = 0; i < 20; ++i) loads.push_back(first_load());
  std::printf("first page load: %.1f ms the first time, then median %.1f ms, p95 %.1f ms\n",
              first, median(loads), percentile(loads, 0.95));
  print_figure("board first page load", format("%.1f ms", first), "< 300 ms");
  print_figure("board page load p95", format("%.1f ms", percentile(loads, 0.95)), "< 300 ms");

  // 100 open pages while the line runs 16 runs a second.
  std::atomic<bool> done{false};
  std::atomic<long> events{0};
  std::vector<std::thread> pages;
  for (int i = 0; i < 100; ++i) {
    pages.emplace_back([&] {
      httplib::Client live("127.0.0.1", board.port);
      live.set_read_timeout(60, 0);
      live.Get("/api/events", [&](const char* data, std::size_t length) {
        if (std::string_view(data, length).find("event: board") != std::string_view::npos) {
          ++events;
        }
        return !done.load();
      });
    });
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const long events_before = events.load();
  std::thread line([&] {
    records::SqliteStore store(file, records::OpenFor::kWriting);
    std::vector<records::RunRecord> open(kStations * kPorts);
    const std::string log = sample_log();
    long n = count;
    auto next = Clock::now();
    while (!done) {
      // Every 62.5 ms one port ends its run and starts the next.
      const std::size_t slot = static_cast<std::size_t>(n % (kStations * kPorts));
      std::vector<records::RunRecord> batch;
      if (!open[slot].uid.empty()) {
        records::RunRecord ended = open[slot];
        ended.outcome = n % 12 == 0 ? "red" : "green";
        if (ended.outcome == "red") {
          ended.failed_line = 12;
          ended.failed_text = "compare IMEI IMEI";
        }
        ended.ended_at_ms = now_ms();
        ended.log = log;
        ended.revision = 3;
        batch.push_back(ended);
      }
      open[slot] = run_of(n++, now_ms(), "running", log);
      batch.push_back(open[slot]);
      store.append(batch);
      next += std::chrono::microseconds(62'500);
      std::this_thread::sleep_until(next);
    }
  });
  const double cpu_before = cpu_seconds_of(board.pid);
  const auto t0 = Clock::now();
  // Longer than the yield chart's minute, so that its reading is counted.
  constexpr int kSeconds = 90;
  std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
  const double cpu = cpu_seconds_of(board.pid) - cpu_before;
  const double wall = ms_since(t0) / 1000;
  const long received = events.load() - events_before;
  done = true;
  line.join();
  const double share = 100.0 * cpu / wall;
  std::printf("100 open pages, 16 runs a second for %d s: the board used %.2f s of CPU, %.1f %% of "
              "one core; the pages received %ld updates (%.1f a page a second)\n",
              kSeconds, cpu, share, received,
              static_cast<double>(received) / 100.0 / wall);
  print_figure("board CPU, 100 live pages, 16 runs/s", format("%.1f %% of a core", share),
               "< 5 %");

  kill(board.pid, SIGTERM);
  int status = 0;
  const auto stopping = Clock::now();
  waitpid(board.pid, &status, 0);
  std::printf("stopped by SIGTERM in %.0f ms with 100 pages open, status %d\n", ms_since(stopping),
              WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  for (std::thread& page : pages) page.join();
  return 0;
}
