#include "records/group_counts.h"

#include <algorithm>
#include <cstdint>
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

// One unit's runs (an IMEI's or a serial's), fed in the order they started.
struct Unit {
  std::string key;
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
    read_range();
    std::sort(in_range_.begin(), in_range_.end(),
              [](const RunInRange& a, const RunInRange& b) { return a.id < b.id; });
    read_units("imei", "", true, imeis_);
    read_units("unit_serial", " AND outcome NOT IN ('no run', 'running')", false, serials_);

    std::map<GroupKey, GroupCounts> out;
    for (std::size_t g = 0; g < keys_.size(); ++g) out.emplace(keys_[g], counts_[g]);
    return out;
  }

 private:
  // The runs in range, in any order.
  void read_range() {
    store_.for_each_row("SELECT " + query_.g1 + ", " + query_.g2 +
                            ", id, outcome, imei, unit_serial FROM runs "
                            "WHERE started_at >= ? AND started_at < ? AND (? = '' OR customer = ?)",
                        {query_.from, query_.to, query_.customer, query_.customer},
                        [this](const Row& r) { take(r); });
  }

  void take(const Row& r) {
    // Each part with its length before it, so that no two groups share a key.
    key_.clear();
    for (const std::optional<std::string>* part : {&r[0], &r[1]}) {
      const std::string& text = *part ? **part : kEmpty;
      key_ += std::to_string(text.size());
      key_ += ':';
      key_ += text;
    }
    const std::uint32_t g = group(r);
    GroupCounts& c = counts_[g];
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
    in_range_.push_back(RunInRange{run_id(r[2]), g, green, is_counted && imei && !serial});
    if (!whole_store_) {
      if (imei) imeis_.push_back(*imei);
      if (is_counted && serial) serials_.push_back(*serial);
    }
  }

  // The group of the row whose key take() has just written into key_.
  std::uint32_t group(const Row& r) {
    const auto found = group_of_.find(key_);
    if (found != group_of_.end()) return found->second;
    const auto index = static_cast<std::uint32_t>(keys_.size());
    group_of_.emplace(key_, index);
    keys_.emplace_back(r[0].value_or(""), r[1].value_or(""));
    counts_.emplace_back();
    return index;
  }

  const RunInRange* find(std::int64_t id) const {
    const auto it = std::lower_bound(in_range_.begin(), in_range_.end(), id,
                                     [](const RunInRange& r, std::int64_t v) { return r.id < v; });
    return it != in_range_.end() && it->id == id ? &*it : nullptr;
  }

  // Every run of the units named in `column` (the IMEIs: any outcome; the
  // serials: counted runs, as `filter` says), in order of unit, started_at
  // and id: the whole index when the range is the whole store, else the
  // units in range, a few hundred at a time.
  void read_units(const std::string& column, const std::string& filter, bool imei,
                  std::vector<std::string>& keys) {
    const std::string select = "SELECT " + column + ", id, outcome FROM runs WHERE ";
    const std::string order = " ORDER BY " + column + ", started_at, id";
    Unit unit;
    if (whole_store_) {
      store_.for_each_row(select + column + " IS NOT NULL" + filter + order, {},
                          [&](const Row& r) { feed(unit, r, imei); });
    } else {
      std::sort(keys.begin(), keys.end());
      keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
      for (std::size_t start = 0; start < keys.size(); start += units_per_lookup_) {
        const std::size_t end = std::min(keys.size(), start + units_per_lookup_);
        std::string marks;
        for (std::size_t i = start; i < end; ++i) marks += i == start ? "?" : ", ?";
        const std::vector<std::string> batch(keys.begin() + static_cast<std::ptrdiff_t>(start),
                                             keys.begin() + static_cast<std::ptrdiff_t>(end));
        store_.for_each_row(select + column + " IN (" + marks + ")" + filter + order, batch,
                            [&](const Row& r) { feed(unit, r, imei); });
      }
    }
    finish(unit);
  }

  void feed(Unit& unit, const Row& r, bool imei) {
    const std::string& key = r[0] ? *r[0] : kEmpty;
    if (!unit.open || key != unit.key) {
      finish(unit);
      unit.key = key;
      unit.open = true;
    }
    const std::string& outcome = r[2] ? *r[2] : kEmpty;
    const bool green = outcome == "green";
    const RunInRange* run = find(run_id(r[1]));
    // A run of a serial's own stream is always one of that unit's; an IMEI's
    // runs count for the IMEI's unit only when they have no serial.
    const bool unit_run = run && (!imei || run->imei_unit);
    if (imei && !unit.seen_run) {
      unit.seen_run = true;
      if (run) {
        ++counts_[run->group].first_runs;
        if (run->green) ++counts_[run->group].first_pass;
      }
    }
    if (run && imei) add_once(unit.handset_groups, run->group);
    if (unit_run) add_once(unit.unit_groups, run->group);
    if (!counted(outcome)) return;
    if (!unit.seen_counted) {
      unit.seen_counted = true;
      if (unit_run) {
        unit.first_group = run->group;
        ++counts_[run->group].unit_first_runs;
        if (green) ++counts_[run->group].unit_first_pass;
      }
    }
    unit.last_green = green;
  }

  void finish(Unit& unit) {
    if (!unit.open) return;
    for (std::uint32_t g : unit.handset_groups) ++counts_[g].handsets;
    for (std::uint32_t g : unit.unit_groups) ++counts_[g].units;
    if (unit.first_group && unit.last_green) ++counts_[*unit.first_group].unit_final_pass;
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
  std::string key_;  // the group of the row at hand, as text
  bool whole_store_ = false;
  std::unordered_map<std::string, std::uint32_t> group_of_;
  std::vector<GroupKey> keys_;
  std::vector<GroupCounts> counts_;
  std::vector<RunInRange> in_range_;
  std::vector<std::string> imeis_;
  std::vector<std::string> serials_;
};

}  // namespace

std::map<GroupKey, GroupCounts> count_groups(Store& store, const GroupQuery& query,
                                             std::size_t units_per_lookup) {
  return Counter(store, query, units_per_lookup).count();
}

}  // namespace records
