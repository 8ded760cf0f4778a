// What the unit columns add to a run's record on a station's SQLite file of a
// million records: the unit's attempt (its earlier runs and last pass), the
// port's fixture alarm (its last runs), each read as ffsload run reads them
// (the store opened for reading, one query), and the record's insert with
// the new columns and indexes.
//
//   bench_unit_records [RECORDS] [FOLDER]   (default 1000000, a new folder under /tmp)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/text_format.h"
#include "records/fixture_alarm.h"
#include "records/outbox.h"
#include "records/sqlite_store.h"
#include "records/unit_history.h"
#include "support/measure.h"

namespace {

using Clock = std::chrono::steady_clock;
using testing_support::median;
using testing_support::percentile;
using testing_support::print_figure;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A run of the example station's main.tms logs about 1.4 kB.
std::string sample_log() {
  std::string log;
  for (int i = 0; i < 40; ++i) log += "fwr rf/tx/levels.gsm /gsm/rf/tx/levels.gsm  => 0 (1)\n";
  return log.substr(0, 1400);
}

constexpr int kStations = 6;
constexpr int kPorts = 8;

records::RunRecord record(std::int64_t start_ms, long unit, int attempt, bool green,
                          const std::string& log) {
  records::RunRecord r;
  r.started_at_ms = start_ms;
  r.ended_at_ms = start_ms + 45000;
  r.station = "station-" + std::to_string(unit % kStations);
  r.port = 1 + static_cast<int>((unit / kStations) % kPorts);
  r.uid = r.station + "-" + std::to_string(start_ms) + "-" + std::to_string(unit);
  r.device = "/dev/serial/by-id/usb-FTDI_fixture" + std::to_string(r.port) + "-if00-port0";
  r.fixture = r.device;
  r.customer = std::to_string(1 + unit % 5);
  r.script = "main.tms";
  r.ma_no = "ORD4711-04";
  char text[32];
  std::snprintf(text, sizeof text, "35%014ld", unit);
  r.imei = text;
  std::snprintf(text, sizeof text, "SN%010ld", unit);
  r.unit_serial = text;
  r.operator_id = "op" + std::to_string(unit % 40);
  r.attempt = attempt;
  r.outcome = green ? "green" : "red";
  if (!green) {
    r.failed_line = 12;
    r.failed_text = "compare afcdac rf/afcdac";
    r.failed_status = 100;
  }
  r.log = log;
  r.tool_version = "0.9.0";
  return r;
}

void fill(long count, std::int64_t day0) {
  // A year of a line: about 88 % of units green at their first run, the rest
  // loaded again until green.
  std::printf("writing %ld records into runs.sqlite ...\n", count);
  const std::string log = sample_log();
  std::mt19937 random(13);
  const auto t0 = Clock::now();
  records::SqliteStore store("runs.sqlite", records::OpenFor::kWriting);
  std::vector<records::RunRecord> batch;
  const std::int64_t step = 365LL * 86400000LL / std::max(1L, count);
  long unit = 0;
  for (long i = 0; i < count; ++unit) {
    bool green = false;
    for (int attempt = 1; !green && i < count; ++attempt, ++i) {
      green = random() % 100 < 88;
      batch.push_back(record(day0 + i * step, unit, attempt, green, log));
    }
    if (batch.size() >= 20000) {
      store.append(batch);
      batch.clear();
    }
  }
  store.append(batch);
  // The batches leave a WAL of tens of megabytes that a station's file, one
  // record at a time, never has: each fresh open would reread it.
  store.query("PRAGMA wal_checkpoint(TRUNCATE)", {});
  std::printf("  written in %.1f s, file %.0f MB\n", ms_since(t0) / 1000,
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
    char name[] = "/tmp/ffsload-bench-units-XXXXXX";
    folder = mkdtemp(name);
  }
  std::filesystem::current_path(folder);
  const std::int64_t day0 = 1704067200000LL;  // 2024-01-01
  long existing = 0;
  try {
    records::SqliteStore old("runs.sqlite", records::OpenFor::kReading);
    existing = std::stol(*old.query("SELECT count(*) FROM runs", {})[0][0]);
  } catch (const records::StoreError&) {
  }
  if (existing < count) {
    std::filesystem::remove("runs.sqlite");
    fill(count, day0);
  }

  // Runs of units seen before and of new ones, on every station and port.
  const std::string log = sample_log();
  std::vector<double> attempt_ms, alarm_ms, insert_ms, total_ms;
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i) {
    const long unit = i % 2 == 0 ? static_cast<long>(random() % 100000) : 5000000L + i;
    records::RunRecord r = record(day0 + 400LL * 86400000LL + i * 60000LL, unit, 1, true, log);
    const auto t0 = Clock::now();
    {
      auto store = records::open_store("runs.sqlite", records::OpenFor::kReading);
      const auto history = records::unit_history_by_serial(*store, r.station, *r.unit_serial, r.uid);
      r.attempt = history.earlier_runs + 1;
    }
    const auto t1 = Clock::now();
    const auto kept = records::keep_record("runs.sqlite", "outbox.sqlite", r);
    if (!kept.stored) {
      std::fprintf(stderr, "record failed: %s\n", kept.error.c_str());
      return 1;
    }
    const auto t2 = Clock::now();
    {
      auto store = records::open_store("runs.sqlite", records::OpenFor::kReading);
      records::port_fixture_alarm(*store, r.station, r.port, records::kDefaultFixtureAlarmRuns);
    }
    const auto t3 = Clock::now();
    using ms = std::chrono::duration<double, std::milli>;
    attempt_ms.push_back(ms(t1 - t0).count());
    insert_ms.push_back(ms(t2 - t1).count());
    alarm_ms.push_back(ms(t3 - t2).count());
    total_ms.push_back(ms(t3 - t0).count());
  }
  const auto show = [&](const char* what, const std::vector<double>& v) {
    std::printf("%-44s median %6.2f ms, 95th percentile %6.2f ms\n", what, median(v),
                percentile(v, 0.95));
  };
  std::printf("a run's record with its unit, on a file of %ld records:\n", count);
  show("  the unit's attempt (open, query)", attempt_ms);
  show("  the record (open, insert, commit durably)", insert_ms);
  show("  the port's fixture alarm (open, query)", alarm_ms);
  show("  all three (goal < 5 ms)", total_ms);
  print_figure(platform::strprintf("a run's record with its unit, attempt and fixture alarm, "
                                   "SQLite file of %ld records",
                                   count),
               platform::strprintf("median %.2f ms, p95 %.2f ms", median(total_ms),
                                   percentile(total_ms, 0.95)),
               "< 5 ms");
  return 0;
}
