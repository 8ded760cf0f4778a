#include "records/group_counts.h"

#include <algorithm>
#include <cstdint>
#include <future>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace records {

namespace {

const std::string kEmpty;

bool counted(const std::string& outcome) {
  return outcome != "no run" && outcome != "running";
}

std::int64_t run_id(const std::optional<std::string>& text) {
  if (text) {
    try {
      std::size_t used = 0;
      const long long value = std::stoll(*text, &used);
      if (used == text->size()) return value;
    } catch (const std::logic_error&) {  // not a number, or out of range
    }
  }
  throw StoreError("holds a run id that is not a number (\"" + text.value_or("NULL") + "\")");
}

// What the pass over the units' runs needs of a run in range.
struct RunInRange {
  std::int64_t id = 0;
  std::uint32_t group = 0;
  bool green = false;
  bool imei_unit = false;  // counted, known by its IMEI alone
};

void add_once(std::vector<std::uint32_t>& groups, std::uint32_t group) {
  if (std::find(groups.begin(), groups.end(), group) == groups.end()) groups.push_back(group);
}

// A unit's run as read beside the range, to be counted once the range is in.
struct UnitRun {
  std::int64_t id = 0;
  bool new_unit = false;  // the first run of its unit
  bool green = false;
  bool counted = false;
};

struct UnitRuns {
  std::vector<UnitRun> imei;
  std::vector<UnitRun> serial;
};

const char* const kSerialFilter = " AND outcome NOT IN ('no run', 'running')";

// Rows of (unit, id, outcome) in order of unit, as UnitRuns: a statement's
// rows, or several statements' over disjoint units, one after another.
class UnitRunReader {
 public:
  void read(Store& store, const std::string& sql, const std::vector<std::string>& params,
            std::vector<UnitRun>& out) {
    store.for_each_row(sql, params, [&](const Row& r) {
      const std::string& key = r[0] ? *r[0] : kEmpty;
      const std::string& outcome = r[2] ? *r[2] : kEmpty;
      const bool new_unit = !any_ || key != last_;
      if (new_unit) last_ = key;
      any_ = true;
      out.push_back(UnitRun{run_id(r[1]), new_unit, outcome == "green", counted(outcome)});
    });
  }

 private:
  std::string last_;
  bool any_ = false;
};

std::string units_sql(const std::string& column, const std::string& which,
                      const std::string& filter) {
  return "SELECT " + column + ", id, outcome FROM runs WHERE " + column + which + filter +
         " ORDER BY " + column + ", started_at, id";
}

void read_whole_units(Store& store, const std::string& column, const std::string& filter,
                      std::vector<UnitRun>& out) {
  UnitRunReader().read(store, units_sql(column, " IS NOT NULL", filter), {}, out);
}

// Every unit's runs of the whole store, as the counting needs them.
UnitRuns read_all_unit_runs(Store& store) {
  UnitRuns runs;
  read_whole_units(store, "imei", "", runs.imei);
  read_whole_units(store, "unit_serial", kSerialFilter, runs.serial);
  return runs;
}

void add(GroupCounts& to, const GroupCounts& from) {
  to.runs += from.runs;
  to.interrupted += from.interrupted;
  to.handsets += from.handsets;
  to.first_runs += from.first_runs;
  to.first_pass += from.first_pass;
  to.units += from.units;
  to.unit_first_runs += from.unit_first_runs;
  to.unit_first_pass += from.unit_first_pass;
  to.unit_final_pass += from.unit_final_pass;
  to.run_units += from.run_units;
}

// The runs of a stretch of the range, in any order: each one's group and what
// the units' runs need of it, and the groups' counts so far.
class RangePart {
 public:
  explicit RangePart(bool whole_store) : whole_store_(whole_store) {}

  void read(Store& store, const GroupQuery& query, const std::string& from, const std::string& to) {
    store.for_each_row("SELECT " + query.g1 + ", " + query.g2 +
                           ", id, outcome, imei, unit_serial FROM runs "
                           "WHERE started_at >= ? AND started_at < ? AND (? = '' OR customer = ?)",
                       {from, to, query.customer, query.customer},
                       [this](const Row& r) { take(r); });
  }

  // Takes in the runs another stretch read.
  void absorb(RangePart&& other) {
    std::vector<std::uint32_t> moved(other.keys.size());
    for (std::size_t g = 0; g < other.keys.size(); ++g) {
      key_text(other.keys[g].first, other.keys[g].second);
      moved[g] = group(other.keys[g].first, other.keys[g].second);
      add(counts[moved[g]], other.counts[g]);
    }
    runs.reserve(runs.size() + other.runs.size());
    for (RunInRange run : other.runs) {
      run.group = moved[run.group];
      runs.push_back(run);
    }
    for (std::string& imei : other.imeis) imeis.push_back(std::move(imei));
    for (std::string& serial : other.serials) serials.push_back(std::move(serial));
  }

  std::vector<GroupKey> keys;
  std::vector<GroupCounts> counts;
  std::vector<RunInRange> runs;
  std::vector<std::string> imeis;  // the range's units, when not the whole store
  std::vector<std::string> serials;

 private:
  void take(const Row& r) {
    const std::string& g1 = r[0] ? *r[0] : kEmpty;
    const std::string& g2 = r[1] ? *r[1] : kEmpty;
    key_text(g1, g2);
    const std::uint32_t g = group(g1, g2);
    GroupCounts& c = counts[g];
    const std::string& outcome = r[3] ? *r[3] : kEmpty;
    const bool green = outcome == "green";
    const bool is_counted = counted(outcome);
    const std::optional<std::string>& imei = r[4];
    const std::optional<std::string>& serial = r[5];
    ++c.runs;
    if (outcome == "interrupted") ++c.interrupted;
    if (is_counted && !imei && !serial) {
      // Known by neither: the run is a unit of its own, its first and last run.
      ++c.units;
      ++c.unit_first_runs;
      ++c.run_units;
      if (green) {
        ++c.unit_first_pass;
        ++c.unit_final_pass;
      }
      return;
    }
    if (!imei && !(is_counted && serial)) return;
    runs.push_back(RunInRange{run_id(r[2]), g, green, is_counted && imei && !serial});
    if (!whole_store_) {
      if (imei) imeis.push_back(*imei);
      if (is_counted && serial) serials.push_back(*serial);
    }
  }

  // Each part with its length before it, so that no two groups share a key.
  void key_text(const std::string& g1, const std::string& g2) {
    key_.clear();
    for (const std::string* text : {&g1, &g2}) {
      key_ += std::to_string(text->size());
      key_ += ':';
      key_ += *text;
    }
  }

  // The group whose key key_text() has just written.
  std::uint32_t group(const std::string& g1, const std::string& g2) {
    const auto found = group_of_.find(key_);
    if (found != group_of_.end()) return found->second;
    const auto index = static_cast<std::uint32_t>(keys.size());
    group_of_.emplace(key_, index);
    keys.emplace_back(g1, g2);
    counts.emplace_back();
    return index;
  }

  bool whole_store_;
  std::string key_;  // the group of the row at hand, as text
  std::unordered_map<std::string, std::uint32_t> group_of_;
};

// One unit's runs (an IMEI's or a serial's), fed in the order they started.
struct Unit {
  bool open = false;
  bool seen_run = false;
  bool seen_counted = false;
  std::optional<std::uint32_t> first_group;  // where its first counted run counts
  bool last_green = false;
  std::vector<std::uint32_t> handset_groups;
  std::vector<std::uint32_t> unit_groups;
};

class Counter {
 public:
  Counter(Store& store, const GroupQuery& query, std::size_t units_per_lookup)
      : store_(store),
        query_(query),
        units_per_lookup_(std::max<std::size_t>(1, units_per_lookup)) {}

  std::map<GroupKey, GroupCounts> count() {
    // When the range holds every run there is, the units' runs are read
    // whole, in index order; otherwise only the runs of the units in range.
    whole_store_ = query_.customer.empty() &&
                   store_
                       .query(
                           "SELECT 1 WHERE EXISTS (SELECT 1 FROM runs WHERE started_at < ?) "
                           "OR EXISTS (SELECT 1 FROM runs WHERE started_at >= ?)",
                           {query_.from, query_.to})
                       .empty();
    // A whole store's units' runs do not depend on the range: a store that
    // can give more connections reads them on one while the range is read,
    // in two halves, on two others: a year's report over a million runs
    // takes half the time on two cores.
    std::unique_ptr<Store> beside = whole_store_ ? store_.open_reader() : nullptr;
    std::future<UnitRuns> unit_runs;
    if (beside) {
      unit_runs = std::async(std::launch::async, [&beside] { return read_all_unit_runs(*beside); });
    }
    read_range();
    std::sort(range_.runs.begin(), range_.runs.end(),
              [](const RunInRange& a, const RunInRange& b) { return a.id < b.id; });
    if (whole_store_) {
      const UnitRuns runs = beside ? unit_runs.get() : read_all_unit_runs(store_);
      replay(runs.imei, true);
      replay(runs.serial, false);
    } else {
      replay(read_units("imei", "", range_.imeis), true);
      replay(read_units("unit_serial", kSerialFilter, range_.serials), false);
    }

    std::map<GroupKey, GroupCounts> out;
    for (std::size_t g = 0; g < range_.keys.size(); ++g) {
      out.emplace(range_.keys[g], range_.counts[g]);
    }
    return out;
  }

 private:
  // The runs in range: the later half on a second connection, where the
  // store gives one and the range's runs have times to halve.
  void read_range() {
    range_ = RangePart(whole_store_);
    std::unique_ptr<Store> second = store_.open_reader();
    const std::optional<std::string> middle = second ? middle_of_range() : std::nullopt;
    if (!middle) {
      range_.read(store_, query_, query_.from, query_.to);
      return;
    }
    std::future<RangePart> later = std::async(std::launch::async, [&] {
      RangePart part(whole_store_);
      part.read(*second, query_, *middle, query_.to);
      return part;
    });
    range_.read(store_, query_, query_.from, *middle);
    range_.absorb(later.get());
  }

  // A time halfway between the range's first and last run, if both are times
  // as a run records them.
  std::optional<std::string> middle_of_range() {
    const std::vector<Row> ends = store_.query(
        "SELECT (SELECT min(started_at) FROM runs WHERE started_at >= ? AND started_at < ?), "
        "(SELECT max(started_at) FROM runs WHERE started_at >= ? AND started_at < ?)",
        {query_.from, query_.to, query_.from, query_.to});
    if (ends.size() != 1 || !ends[0][0] || !ends[0][1]) return std::nullopt;
    const auto first = parse_iso8601_utc(*ends[0][0]);
    const auto last = parse_iso8601_utc(*ends[0][1]);
    if (!first || !last || *last <= *first) return std::nullopt;
    const std::string middle = iso8601_utc(*first + (*last - *first) / 2 + 1);
    // Text order is time order for these texts; the halves must still cover
    // the range exactly.
    if (middle <= *ends[0][0] || middle > *ends[0][1]) return std::nullopt;
    return middle;
  }

  const RunInRange* find(std::int64_t id) const {
    const std::vector<RunInRange>& runs = range_.runs;
    const auto it = std::lower_bound(runs.begin(), runs.end(), id,
                                     [](const RunInRange& r, std::int64_t v) { return r.id < v; });
    return it != runs.end() && it->id == id ? &*it : nullptr;
  }

  // Every run of the units in range named in `column` (the IMEIs: any
  // outcome; the serials: counted runs, as `filter` says), in order of unit,
  // started_at and id, looked up a few hundred units at a time.
  std::vector<UnitRun> read_units(const std::string& column, const std::string& filter,
                                  std::vector<std::string>& keys) {
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    std::vector<UnitRun> runs;
    UnitRunReader reader;
    for (std::size_t start = 0; start < keys.size(); start += units_per_lookup_) {
      const std::size_t end = std::min(keys.size(), start + units_per_lookup_);
      std::string marks;
      for (std::size_t i = start; i < end; ++i) marks += i == start ? "?" : ", ?";
      const std::vector<std::string> batch(keys.begin() + static_cast<std::ptrdiff_t>(start),
                                           keys.begin() + static_cast<std::ptrdiff_t>(end));
      reader.read(store_, units_sql(column, " IN (" + marks + ")", filter), batch, runs);
    }
    return runs;
  }

  void replay(const std::vector<UnitRun>& runs, bool imei) {
    Unit unit;
    for (const UnitRun& r : runs) step(unit, r, imei);
    finish(unit);
  }

  // The next run of the unit at hand, or the first of the next unit.
  void step(Unit& unit, const UnitRun& r, bool imei) {
    if (r.new_unit) {
      finish(unit);
      unit.open = true;
    }
    const bool green = r.green;
    const RunInRange* run = find(r.id);
    // A run of a serial's own stream is always one of that unit's; an IMEI's
    // runs count for the IMEI's unit only when they have no serial.
    const bool unit_run = run && (!imei || run->imei_unit);
    if (imei && !unit.seen_run) {
      unit.seen_run = true;
      if (run) {
        ++range_.counts[run->group].first_runs;
        if (run->green) ++range_.counts[run->group].first_pass;
      }
    }
    if (run && imei) add_once(unit.handset_groups, run->group);
    if (unit_run && !query_.units_at_first_run) add_once(unit.unit_groups, run->group);
    if (!r.counted) return;
    if (!unit.seen_counted) {
      unit.seen_counted = true;
      if (unit_run) {
        unit.first_group = run->group;
        if (query_.units_at_first_run) ++range_.counts[run->group].units;
        ++range_.counts[run->group].unit_first_runs;
        if (green) ++range_.counts[run->group].unit_first_pass;
      }
    }
    unit.last_green = green;
  }

  void finish(Unit& unit) {
    if (!unit.open) return;
    for (std::uint32_t g : unit.handset_groups) ++range_.counts[g].handsets;
    for (std::uint32_t g : unit.unit_groups) ++range_.counts[g].units;
    if (unit.first_group && unit.last_green) ++range_.counts[*unit.first_group].unit_final_pass;
    unit.open = false;
    unit.seen_run = false;
    unit.seen_counted = false;
    unit.first_group.reset();
    unit.last_green = false;
    unit.handset_groups.clear();
    unit.unit_groups.clear();
  }

  Store& store_;
  const GroupQuery& query_;
  std::size_t units_per_lookup_;
  bool whole_store_ = false;
  RangePart range_{false};
};

}  // namespace

std::map<GroupKey, GroupCounts> count_groups(Store& store, const GroupQuery& query,
                                             std::size_t units_per_lookup) {
  return Counter(store, query, units_per_lookup).count();
}

}  // namespace records
