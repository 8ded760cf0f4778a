// What the records cost: the time one record adds to a run on SQLite (open,
// check the schema, insert, commit durably, close: what ffsload run does once
// per run), and the yield report over a million records.
//
//   bench_records [RECORDS] [FOLDER]   (default 1000000, a new folder under /tmp)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/text_format.h"
#include "records/outbox.h"
#include "records/report.h"
#include "records/sqlite_store.h"
#include "support/measure.h"

namespace {

using testing_support::print_figure;

using testing_support::median;
using testing_support::percentile;

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The run log of the example station's main.tms is about 1.4 kB.
std::string sample_log() {
  std::string log;
  for (int i = 0; i < 40; ++i) log += "fwr rf/tx/levels.gsm /gsm/rf/tx/levels.gsm  => 0 (1)\n";
  return log.substr(0, 1400);
}

records::RunRecord record(std::int64_t start_ms, const std::string& customer, long handset,
                          bool green, const std::string& log) {
  records::RunRecord r;
  r.started_at_ms = start_ms;
  r.ended_at_ms = start_ms + 45000;
  r.station = "station-" + std::to_string(handset % 6);
  r.uid = r.station + "-" + std::to_string(start_ms) + "-" + std::to_string(handset);
  r.port = 3;
  r.device = "/dev/ttyUSB0";
  r.customer = customer;
  r.script = "main.tms";
  r.ma_no = "ORD4711-04";
  char imei[24];
  std::snprintf(imei, sizeof imei, "35%014ld", handset);
  r.imei = imei;
  r.outcome = green ? "green" : "red";
  if (!green) {
    r.failed_line = 10 + static_cast<int>(handset % 7);
    r.failed_text = "compare IMEI IMEI";
    r.failed_status = 100;
  }
  r.log = log;
  r.tool_version = "0.9.0";
  return r;
}

void time_records(const char* what, const std::string& file, std::int64_t start_ms) {
  const std::string log = sample_log();
  std::vector<double> times;
  for (int i = 0; i < 200; ++i) {
    const auto r = record(start_ms + i * 60000LL, "1", 900000000L + i, true, log);
    const auto t0 = Clock::now();
    const auto kept = records::keep_record(file, "outbox.sqlite", r);
    times.push_back(ms_since(t0));
    if (!kept.stored) {
      std::fprintf(stderr, "record failed: %s\n", kept.error.c_str());
      std::exit(1);
    }
  }
  std::printf("one record per run, %s: median %.2f ms, 95th percentile %.2f ms (goal < 5 ms)\n",
              what, median(times), percentile(times, 0.95));
  print_figure(
      platform::strprintf("one run's record, SQLite, %s", what),
      platform::strprintf("median %.2f ms, p95 %.2f ms", median(times), percentile(times, 0.95)),
      "< 5 ms");
}

void fill_records(long count, std::int64_t day0) {
  // A year of a line: 5 customers, about 88 % of handsets green at the first
  // run, the rest loaded again until green.
  std::printf("writing %ld records into runs.sqlite ...\n", count);
  const std::string log = sample_log();
  std::mt19937 random(13);
  const auto fill = Clock::now();
  {
    records::SqliteStore store("runs.sqlite", records::OpenFor::kWriting);
    std::vector<records::RunRecord> batch;
    long handset = 0;
    const std::int64_t step = 365LL * 86400000LL / std::max(1L, count);
    for (long i = 0; i < count;) {
      const std::string customer = std::to_string(1 + handset % 5);
      bool green = false;
      while (!green && i < count) {
        green = random() % 100 < 88;
        batch.push_back(record(day0 + 86400000LL + i * step, customer, handset, green, log));
        ++i;
      }
      ++handset;
      if (batch.size() >= 20000) {
        store.append(batch);
        batch.clear();
      }
    }
    store.append(batch);
  }
  std::printf("  written in %.1f s, file %.0f MB\n", ms_since(fill) / 1000,
              static_cast<double>(std::filesystem::file_size("runs.sqlite")) / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::atol(argv[1]) : 1000000;
  std::string folder;
  if (argc > 2) {
    folder = argv[2];
    std::filesystem::create_directories(folder);
  } else {
    char name[] = "/tmp/ffsload-bench-records-XXXXXX";
    folder = mkdtemp(name);
  }
  std::filesystem::current_path(folder);
  for (const char* file : {"fresh.sqlite", "fresh.sqlite-wal", "fresh.sqlite-shm"}) {
    std::filesystem::remove(file);
  }
  const std::int64_t day0 = 1704067200000LL;  // 2024-01-01

  time_records("fresh file", "fresh.sqlite", day0);

  // A folder of an earlier run keeps its records: only the timings are redone.
  long existing = 0;
  try {
    records::SqliteStore old("runs.sqlite", records::OpenFor::kReading);
    existing = std::stol(*old.query("SELECT count(*) FROM runs", {})[0][0]);
  } catch (const records::StoreError&) {
  }
  if (existing < count) {
    std::filesystem::remove("runs.sqlite");
    fill_records(count, day0);
  }

  time_records(platform::strprintf("file of %ld records", count).c_str(), "runs.sqlite",
               day0 + 400LL * 86400000LL);

  struct Report {
    const char* what;
    std::string since;
    bool by_port;
  };
  for (const Report& report :
       {Report{"whole year", "", false}, Report{"last 30 days", "2024-12-01", false},
        Report{"whole year, --by port", "", true}}) {
    records::ReportFilter filter;
    if (!report.since.empty()) filter.since = report.since;
    // The first report may read the file from disk (a file of a million
    // records is over 2 GB); the figure is the median of three.
    std::vector<double> times;
    std::size_t rows = 0;
    for (int round = 0; round < 3; ++round) {
      const auto t0 = Clock::now();
      records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
      rows = report.by_port
                 ? records::build_grouped_report(store, filter, records::GroupBy::kPort, 3).size()
                 : records::build_report(store, filter).size();
      times.push_back(ms_since(t0));
    }
    const double first_ms = times.front();
    const double report_ms = median(times);
    std::printf(
        "report over %ld records, %s: %.0f ms (the first %.0f ms), %zu rows (goal < 2000 ms)\n",
        count, report.what, report_ms, first_ms, rows);
    print_figure(platform::strprintf("yield report over %ld records, %s", count, report.what),
                 platform::strprintf("%.0f ms", report_ms), "< 2000 ms");
  }
  return 0;
}
