// The people and the audit trail, in figures:
// - one PIN checked at the station's cost (Argon2id, libsodium's
//   "interactive" limits), the median and slowest of ROUNDS;
// - what a login adds to each run: the run's start and end in the trail
//   (with its record's digest), as "ffsload run" writes them;
// - "audit verify" over EVENTS events of a SQLite records file (kept in
//   FOLDER between runs: making them takes a while), with 0 false alarms;
// - MUTATIONS random single changes to that trail (an edit, a deletion, two
//   events swapped, a forged event inserted with its hashes made as the
//   program makes them, the later ones renumbered), each checked by the
//   same check over the events held in memory, and a few of each kind also
//   in the file itself (in a transaction rolled back after): each must be
//   found, at the event changed or the one after it.
//
//   bench_people EVENTS MUTATIONS FOLDER [ROUNDS]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "cli/run_login.h"
#include "cli/station_people.h"
#include "people/audit_check.h"
#include "people/audit_trail.h"
#include "people/database.h"
#include "people/pin.h"
#include "people/people_changes.h"
#include "platform/text_format.h"
#include "records/schema.h"
#include "records/sqlite_store.h"
#include "support/measure.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void set_pin(people::Pin& pin, const std::string& digits) {
  digits.copy(pin.buffer(), people::Pin::kCapacity);
  pin.set_length(digits.size());
}

// The trail's rows held in memory, served in the order the check reads
// them, with one mutation applied on the way.
class MutatedTrail final : public people::Database {
 public:
  enum class Kind { kNone, kEdit, kDelete, kSwap, kInsert };
  explicit MutatedTrail(std::vector<records::Row> rows) : rows_(std::move(rows)) {}
  void mutate(Kind kind, std::size_t at) {
    kind_ = kind;
    at_ = at;
    if (kind == Kind::kInsert) {
      // Made as the program makes an event: after the one before, hashed.
      people::AuditEvent forged = people::event_from_row(rows_[at - 1]);
      forged.number += 1;
      forged.what = "a run that never was";
      forged.previous_hash = forged.hash;
      forged.hash = people::event_hash(forged);
      forged_ = {std::to_string(forged.id + 1000000000)};
      for (auto& value : people::event_values(forged)) forged_.push_back(value);
    }
  }
  people::Dialect dialect() const override { return people::Dialect::kSqlite; }
  const std::string& where() const override { return where_; }
  void execute(const std::string&, const people::Values&) override {}
  std::vector<records::Row> query(const std::string&, const people::Values&) override {
    return {};
  }
  void for_each_row(const std::string&, const people::Values&,
                    const std::function<void(const records::Row&)>& take) override {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      if (i == at_) {
        switch (kind_) {
          case Kind::kEdit: {
            records::Row edited = rows_[i];
            edited[11] = std::string("red");  // the outcome
            take(edited);
            continue;
          }
          case Kind::kDelete:
            continue;
          case Kind::kSwap: {
            // Their numbers exchanged: the later one now comes first.
            records::Row first = rows_[i + 1];
            records::Row second = rows_[i];
            std::swap(first[2], second[2]);
            take(first);
            take(second);
            ++i;
            continue;
          }
          case Kind::kInsert:
            take(forged_);
            break;
          case Kind::kNone:
            break;
        }
      }
      if (kind_ == Kind::kInsert && i >= at_) {
        records::Row renumbered = rows_[i];
        renumbered[2] = std::to_string(std::stoll(*renumbered[2]) + 1);
        take(renumbered);
        continue;
      }
      take(rows_[i]);
    }
  }
  void begin(const std::string&) override {}
  void commit() override {}
  void set_flushing(bool) override {}
  void rollback() noexcept override {}
  bool has_tables() override { return true; }

 private:
  std::vector<records::Row> rows_;
  std::string where_ = "memory";
  Kind kind_ = Kind::kNone;
  std::size_t at_ = 0;
  records::Row forged_;
};

const char* kind_name(MutatedTrail::Kind kind) {
  switch (kind) {
    case MutatedTrail::Kind::kEdit:
      return "edit";
    case MutatedTrail::Kind::kDelete:
      return "delete";
    case MutatedTrail::Kind::kSwap:
      return "swap";
    case MutatedTrail::Kind::kInsert:
      return "insert";
    case MutatedTrail::Kind::kNone:
      break;
  }
  return "none";
}

// Whether the one break told names event `number` or the next.
bool found_at(const people::TrailCheck& check, long long number) {
  if (check.breaks.size() != 1) return false;
  for (long long n : {number, number + 1}) {
    if (check.breaks[0].find(", number " + std::to_string(n) + ",") != std::string::npos) {
      return true;
    }
  }
  return false;
}

void make_trail(const std::string& path, long events) {
  std::filesystem::remove(path);
  auto db = people::open_database(path, people::Access::kWriting);
  const long batch = 50000;
  for (long done = 0; done < events;) {
    people::Transaction t(*db, "");
    for (long i = 0; i < batch && done < events; ++i, ++done) {
      people::AuditEvent e;
      e.station = "line4-pc2";
      e.happened_at = records::iso8601_utc(1'800'000'000'000 + done * 1000);
      e.kind = done % 2 ? people::kind::kRunEnd : people::kind::kRunStart;
      e.actor = "olga";
      e.what = "port " + std::to_string(1 + done % 8) + ", customer 1";
      if (done % 2) {
        e.outcome = "green";
        e.run_uid = "line4-pc2-1234-" + std::to_string(done);
        e.record_digest = people::sha256_hex(std::to_string(done));
      }
      people::append_event(*db, e);
    }
    t.commit();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_people EVENTS MUTATIONS FOLDER [ROUNDS]\n");
    return 2;
  }
  const long events = std::atol(argv[1]);
  const int mutations = std::atoi(argv[2]);
  const std::filesystem::path folder = std::filesystem::absolute(argv[3]);
  const int rounds = argc > 4 ? std::atoi(argv[4]) : 20;
  if (events < 10 || mutations < 0 || rounds < 1) return 2;
  std::filesystem::create_directories(folder);

  // One PIN, checked as a login checks it.
  people::Pin pin;
  set_pin(pin, "482913");
  const std::string hash = people::hash_pin(pin, people::station_pin_cost());
  std::vector<double> check_ms;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    if (!people::pin_matches(pin, hash)) return 1;
    check_ms.push_back(ms_since(start));
  }
  std::printf("PIN check (Argon2id, %llu passes, %zu MiB): median %.0f ms, slowest %.0f ms\n",
              people::station_pin_cost().passes, people::station_pin_cost().memory_bytes >> 20,
              testing_support::median(check_ms), testing_support::percentile(check_ms, 1.0));
  testing_support::print_figure(
      "a PIN checked (Argon2id at the station's cost)",
      platform::strprintf("median %.0f ms, slowest %.0f ms", testing_support::median(check_ms),
                          testing_support::percentile(check_ms, 1.0)),
      "<= 300 ms");

  // What a login adds to a run: its start and end in the trail, as run writes them.
  {
    const std::filesystem::path station = folder / "station";
    std::filesystem::remove_all(station);
    std::filesystem::create_directories(station);
    std::filesystem::current_path(station);
    cli::use_pin_cost(people::quickest_pin_cost());
    people::Pin first;
    set_pin(first, "2222");
    {
      auto db = people::open_database("runs.sqlite", people::Access::kWriting);
      people::add_person(*db, {"olga", people::Role::kEngineer, "", std::nullopt}, first,
                         std::nullopt, {5, 60000, people::quickest_pin_cost()}, 0, "bench");
    }
    int fds[2];
    if (pipe(fds) != 0 || write(fds[1], "2222\n", 5) != 5) return 1;
    close(fds[1]);
    const cli::StationPeople where = cli::station_people("", {});
    auto login = cli::RunLogin::log_in(where, "olga", fds[0], 0);
    close(fds[0]);
    if (!login) return 1;
    // A record as a run leaves it, for the end's digest.
    records::RunRecord record;
    record.station = "bench";
    record.uid = records::make_uid("bench", 1);
    record.outcome = "green";
    record.log = std::string(4000, 'x');
    records::SqliteStore("runs.sqlite", records::OpenFor::kWriting).append({&record, 1});
    run::RunContext context;
    context.port = 3;
    context.customer_key = "1";
    run::RunResult result;
    result.outcome = run::RunOutcome::kGreen;
    result.uid = record.uid;
    std::vector<double> added;
    for (int i = 0; i < rounds * 5; ++i) {
      const auto start = Clock::now();
      if (!login->run_starts(context)) return 1;
      login->run_ended(context, result);
      added.push_back(ms_since(start));
    }
    login->log_out("bench");
    std::printf("a run's start and end in the trail: median %.2f ms, p95 %.2f ms\n",
                testing_support::median(added), testing_support::percentile(added, 0.95));
    testing_support::print_figure(
        "what a login adds to each run (its start and end in the trail, SQLite)",
        platform::strprintf("median %.2f ms, p95 %.2f ms", testing_support::median(added),
                            testing_support::percentile(added, 0.95)),
        "<= 5 ms");
    std::filesystem::current_path(folder);
  }

  // The trail itself.
  const std::string path = (folder / ("trail-" + std::to_string(events) + ".sqlite")).string();
  if (!std::filesystem::exists(path)) {
    const auto start = Clock::now();
    make_trail(path, events);
    std::printf("made %ld events in %.1f s\n", events, ms_since(start) / 1000);
  }
  auto db = people::open_database(path, people::Access::kReading);
  const auto start = Clock::now();
  const people::TrailCheck clean = people::check_trail(*db);
  const double verify_s = ms_since(start) / 1000;
  std::printf("verify of %lld events: %.2f s, %zu false alarms\n",
              static_cast<long long>(clean.events), verify_s, clean.breaks.size());
  if (clean.events != events) return 1;
  testing_support::print_figure(
      "audit verify of " + std::to_string(events) + " events (SQLite)",
      platform::strprintf("%.2f s, %zu false alarms", verify_s, clean.breaks.size()),
      "<= 10 s, 0 false alarms");

  // The mutations, over the same events in memory.
  std::vector<records::Row> rows;
  rows.reserve(static_cast<std::size_t>(events));
  db->for_each_row(std::string("SELECT ") + people::kEventColumns +
                       " FROM audit_events ORDER BY station, number, id",
                   {}, [&rows](const records::Row& row) { rows.push_back(row); });
  std::mt19937_64 random(40);
  // Never the first two nor the last: a forged event appended after the
  // newest, or the newest deleted, shows only against a kept head.
  std::uniform_int_distribution<std::size_t> position(2, rows.size() - 3);
  const MutatedTrail::Kind kinds[] = {MutatedTrail::Kind::kEdit, MutatedTrail::Kind::kDelete,
                                      MutatedTrail::Kind::kSwap, MutatedTrail::Kind::kInsert};
  MutatedTrail trail(std::move(rows));
  int found = 0;
  std::vector<double> mutation_s;
  for (int m = 0; m < mutations; ++m) {
    const MutatedTrail::Kind kind = kinds[m % 4];
    const std::size_t at = position(random);
    trail.mutate(kind, at);
    const auto began = Clock::now();
    const people::TrailCheck check = people::check_trail(trail);
    mutation_s.push_back(ms_since(began) / 1000);
    // Row `at` holds event number at + 1.
    if (found_at(check, static_cast<long long>(at) + 1)) {
      ++found;
    } else {
      std::printf("missed: %s at event %zu: %s\n", kind_name(kind), at + 1,
                  check.breaks.empty() ? "(nothing told)" : check.breaks[0].c_str());
    }
  }
  trail.mutate(MutatedTrail::Kind::kNone, 0);
  const bool clean_again = people::check_trail(trail).holds();
  std::printf("%d of %d mutations found at the event changed or the next\n", found, mutations);

  // A few in the file itself, through SQLite's own order.
  int found_in_file = 0;
  const int in_file = mutations > 0 ? 8 : 0;
  {
    auto writer = people::open_database(path, people::Access::kWriting);
    for (int m = 0; m < in_file; ++m) {
      const long long number = static_cast<long long>(position(random)) + 1;
      const std::string n = std::to_string(number);
      writer->begin("");
      switch (kinds[m % 4]) {
        case MutatedTrail::Kind::kEdit:
          writer->execute("UPDATE audit_events SET actor = 'tom' WHERE number = ?", {n});
          break;
        case MutatedTrail::Kind::kDelete:
          writer->execute("DELETE FROM audit_events WHERE number = ?", {n});
          break;
        case MutatedTrail::Kind::kSwap:
          writer->execute("UPDATE audit_events SET number = -1 WHERE number = ?", {n});
          writer->execute("UPDATE audit_events SET number = ? WHERE number = ? + 1", {n, n});
          writer->execute("UPDATE audit_events SET number = ? + 1 WHERE number = -1", {n});
          break;
        default:
          // Inserted, the later ones renumbered; its hash is a guess.
          writer->execute("UPDATE audit_events SET number = -number - 1 WHERE number >= ?", {n});
          writer->execute("UPDATE audit_events SET number = -number WHERE number < 0", {});
          writer->execute(
              "INSERT INTO audit_events (station, number, happened_at, kind, what, "
              "previous_hash, hash) SELECT station, number + 1, happened_at, kind, 'forged', "
              "hash, hash FROM audit_events WHERE number = ? - 1",
              {n});
          break;
      }
      if (found_at(people::check_trail(*writer), number)) ++found_in_file;
      writer->rollback();
    }
  }
  std::printf("%d of %d mutations found in the file itself\n", found_in_file, in_file);
  testing_support::print_figure(
      std::to_string(mutations) + " random single mutations (edit, delete, swap, insert) of " +
          std::to_string(events) + " events",
      platform::strprintf("%d found (+%d of %d in the file), median check %.2f s, clean again: %s",
                          found, found_in_file, in_file, testing_support::median(mutation_s),
                          clean_again ? "yes" : "no"),
      "all found, 0 false alarms");
  return found == mutations && found_in_file == in_file && clean_again && clean.holds() ? 0 : 1;
}
