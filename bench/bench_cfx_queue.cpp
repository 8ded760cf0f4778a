// How big the station's CFX queue file grows as the sender delivers, with
// the runs' messages as a run queues them (WorkStarted, UnitsTested,
// WorkCompleted) and accepted ones removed in batches of 100 as the sender
// removes them, tidied as the sender tidies:
//   - a backlog: MESSAGES queued, then all delivered at once (the file's
//     size, the queue's and its WAL's, every tenth);
//   - a steady rate: PER_DAY messages a simulated day for 21 days, each
//     delivered as it comes; the delivered ones' UniqueIDs are kept 7 days,
//     so the file should stop growing after the first week.
//   bench_cfx_queue [MESSAGES [PER_DAY [FOLDER]]]
// FOLDER defaults to a new one in /tmp; one on tmpfs (/dev/shm) skips the
// flushes, which change nothing of the sizes.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cfx/queue.h"
#include "cfx/station_messages.h"
#include "platform/calendar.h"
#include "platform/text_format.h"
#include "support/measure.h"

namespace {

namespace stdfs = std::filesystem;
constexpr std::int64_t kDayMs = 24LL * 3600 * 1000;

double megabytes(const std::string& folder) {
  std::uintmax_t bytes = 0;
  for (const char* suffix : {"", "-wal"}) {
    std::error_code ec;
    const auto size = stdfs::file_size(folder + "/" + cfx::kQueueFile + suffix, ec);
    if (!ec) bytes += size;
  }
  return static_cast<double>(bytes) / 1e6;
}

// One run's three messages, queued as a run queues them.
void queue_run(cfx::Queue& queue, int run) {
  const cfx::Sender sender{"FFSLoad.ffsload.bench"};
  cfx::RunFacts facts;
  facts.run_uid = "bench-run-" + std::to_string(run);
  facts.port = 1 + run % 8;
  facts.unit_serial = "SN-" + std::to_string(run);
  facts.operator_id = "op-1";
  facts.recipe_name = "testmode.tms";
  facts.revision = std::string(64, 'a');
  facts.started_ms = platform::utc_now_ms();
  facts.ended_ms = facts.started_ms + 1200;
  for (int line = 1; line <= 29; ++line)
    facts.lines.push_back({line, "rdp 0x" + std::to_string(line) + " 1", 0,
                           facts.started_ms + line * 40, facts.started_ms + line * 40 + 30});
  facts.result = "Completed";
  const cfx::Envelope messages[] = {cfx::work_started(sender, facts),
                                    cfx::units_tested(sender, facts),
                                    cfx::work_completed(sender, facts)};
  std::string error;
  if (!queue.add(messages, &error)) {
    std::fprintf(stderr, "bench_cfx_queue: %s\n", error.c_str());
    std::exit(1);
  }
}

// Removes what waits in batches of 100, as the sender does when the broker
// accepted them, and tidies as the sender does between batches.
int deliver_all(cfx::Queue& queue, std::int64_t now_ms) {
  int delivered = 0;
  for (;;) {
    const auto batch = queue.waiting(100);
    if (batch.empty()) return delivered;
    std::vector<std::int64_t> seqs;
    for (const auto& m : batch) seqs.push_back(m.seq);
    if (!queue.remove(seqs, now_ms)) {
      std::fprintf(stderr, "bench_cfx_queue: %s\n", queue.last_error().c_str());
      std::exit(1);
    }
    queue.tidy(now_ms);
    delivered += static_cast<int>(seqs.size());
  }
}

void backlog(const std::string& folder, int messages) {
  std::string error;
  auto queue = cfx::Queue::open(folder, &error);
  if (!queue) {
    std::fprintf(stderr, "bench_cfx_queue: %s\n", error.c_str());
    std::exit(1);
  }
  const int runs = messages / 3;
  for (int run = 0; run < runs; ++run) queue_run(*queue, run);
  std::printf("backlog: %d messages queued, the file %.1f MB\n", runs * 3, megabytes(folder));
  int delivered = 0;
  double largest = 0;
  const int step = std::max(100, runs * 3 / 10);
  for (;;) {
    const auto batch = queue->waiting(100);
    if (batch.empty()) break;
    std::vector<std::int64_t> seqs;
    for (const auto& m : batch) seqs.push_back(m.seq);
    queue->remove(seqs, platform::utc_now_ms());
    queue->tidy(platform::utc_now_ms());
    const int before = delivered;
    delivered += static_cast<int>(seqs.size());
    largest = std::max(largest, megabytes(folder));
    if (before / step != delivered / step)
      std::printf("  %7d delivered: %.1f MB\n", delivered, megabytes(folder));
  }
  std::printf("backlog: %d delivered, the file %.1f MB at the end, %.1f MB at most\n", delivered,
              megabytes(folder), largest);
  testing_support::print_figure(
      "CFX queue: the file after a backlog delivered",
      platform::strprintf("%d messages: %.1f MB (at most %.1f MB)", delivered, megabytes(folder),
                          largest),
      "");
}

void steady(const std::string& folder, int per_day) {
  std::string error;
  auto queue = cfx::Queue::open(folder, &error);
  if (!queue) {
    std::fprintf(stderr, "bench_cfx_queue: %s\n", error.c_str());
    std::exit(1);
  }
  // Simulated days: each one's messages queued in runs of 3, delivered a
  // run at a time, their delivery dated within that day.
  const std::int64_t start_ms = platform::utc_now_ms();
  const int runs_a_day = std::max(1, per_day / 3);
  double week_one = 0, largest_after = 0;
  int run = 0;
  for (int day = 1; day <= 21; ++day) {
    for (int i = 0; i < runs_a_day; ++i) {
      queue_run(*queue, run++);
      deliver_all(*queue, start_ms + (day - 1) * kDayMs + i * (kDayMs / runs_a_day));
    }
    const double size = megabytes(folder);
    if (day == 7) week_one = size;
    if (day > 7) largest_after = std::max(largest_after, size);
    if (day % 3 == 0 || day == 1) std::printf("  day %2d: %.1f MB\n", day, size);
  }
  std::printf("steady: %d messages a day, the file %.1f MB after a week, %.1f MB at most after\n",
              runs_a_day * 3, week_one, largest_after);
  testing_support::print_figure(
      "CFX queue: the file at a steady rate, week 1 / at most after",
      platform::strprintf("%d a day: %.1f / %.1f MB", runs_a_day * 3, week_one, largest_after),
      "no growth after the first week");
}

}  // namespace

int main(int argc, char** argv) {
  const int messages = argc > 1 ? std::max(3, std::atoi(argv[1])) : 200000;
  const int per_day = argc > 2 ? std::max(3, std::atoi(argv[2])) : 21600;
  std::string work;
  if (argc > 3) {
    work = argv[3];
  } else {
    char name[] = "/tmp/ffsload-bench-cfx-queue-XXXXXX";
    work = ::mkdtemp(name);
  }
  stdfs::create_directories(work + "/backlog");
  stdfs::create_directories(work + "/steady");
  backlog(work + "/backlog", messages);
  steady(work + "/steady", per_day);
  if (argc <= 3) stdfs::remove_all(work);
  return 0;
}
