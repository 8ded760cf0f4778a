#include "board/line_model.h"

#include <algorithm>
#include <tuple>

namespace board {

namespace {

// Newer first: by start, then by the order the store took them in.
bool newer(const BoardRow& a, const BoardRow& b) {
  return std::tie(a.started_at_ms, a.id) > std::tie(b.started_at_ms, b.id);
}

// Two copies of one run that differ in anything the board shows.
bool differs(const BoardRow& a, const BoardRow& b) {
  return a.revision != b.revision || a.outcome != b.outcome || a.imei_fate != b.imei_fate ||
         a.ended_at_ms != b.ended_at_ms || a.failed_line != b.failed_line ||
         a.first_attempt != b.first_attempt;
}

bool counts_as_outcome(const std::string& outcome) {
  return outcome == "green" || outcome == "red" || outcome == "interrupted";
}

}  // namespace

std::optional<double> PortCard::first_pass_yield_today() const {
  if (first_runs_today == 0) return std::nullopt;
  return 100.0 * static_cast<double>(first_pass_today) / static_cast<double>(first_runs_today);
}

LineModel::LineModel(std::size_t kept) : kept_(std::max<std::size_t>(kept, 1)) {}

bool LineModel::start_day(std::int64_t day_start_ms) {
  if (day_start_ms == day_start_ms_) return false;
  day_start_ms_ = day_start_ms;
  bool changed = false;
  for (auto& [key, state] : ports_) {
    changed |= std::erase_if(state.today, [&](const auto& entry) {
                 return entry.second.started_at_ms < day_start_ms;
               }) > 0;
  }
  return changed;
}

bool LineModel::apply(const BoardRow& row) {
  if (row.station.empty() || row.id <= 0) return false;
  max_id_ = std::max(max_id_, row.id);
  bool changed = false;
  auto [it, is_new_port] = ports_.try_emplace({row.station, row.port});
  PortState& state = it->second;
  changed |= is_new_port;

  if (!state.latest || newer(row, *state.latest) ||
      (state.latest->id == row.id && differs(row, *state.latest))) {
    changed |= !state.latest || state.latest->id != row.id || differs(row, *state.latest);
    state.latest = row;
  }

  auto& recent = state.recent;
  auto known = std::find_if(recent.begin(), recent.end(),
                            [&](const BoardRow& r) { return r.id == row.id; });
  if (known != recent.end()) {
    if (!row.ended()) {
      recent.erase(known);
      changed = true;
    } else if (differs(row, *known)) {
      *known = row;
      changed = true;
    }
  } else if (row.ended() && (recent.size() < kept_ || newer(row, recent.back()))) {
    recent.insert(std::find_if(recent.begin(), recent.end(),
                               [&](const BoardRow& r) { return newer(row, r); }),
                  row);
    if (recent.size() > kept_) recent.pop_back();
    changed = true;
  }

  if (row.started_at_ms >= day_start_ms_) {
    TodayRun today{row.outcome,  row.first_attempt, row.customer, row.script, row.failed_line,
                   row.failed_text.value_or(""), row.started_at_ms};
    auto [entry, added] = state.today.try_emplace(row.id, today);
    if (!added && !(entry->second == today)) {
      entry->second = today;
      changed = true;
    }
    changed |= added;
  }

  if (row.ended()) {
    running_.erase(row.id);
  } else {
    running_.insert(row.id);
  }
  if (row.outcome == "interrupted" && row.imei_fate == "pending") {
    auto [entry, added] = pending_.try_emplace(row.id, row);
    if (!added && differs(row, entry->second)) {
      entry->second = row;
      changed = true;
    }
    changed |= added;
  } else {
    changed |= pending_.erase(row.id) > 0;
  }
  return changed;
}

LineView LineModel::view(const AlarmRule& alarm_rule, std::size_t failing_lines_shown) const {
  LineView view;
  std::map<std::tuple<std::string, std::string, long, std::string>, long> failing;
  for (const auto& [key, state] : ports_) {
    PortCard card;
    card.station = key.first;
    card.port = key.second;
    if (state.latest && !state.latest->ended()) card.running = state.latest;
    for (const BoardRow& r : state.recent) {
      if (counts_as_outcome(r.outcome)) {
        card.last_outcome = r;
        card.imei_pending = pending_.contains(r.id);
        break;
      }
    }
    for (const auto& [id, run] : state.today) {
      if (run.outcome == "running") continue;
      ++card.runs_today;
      if (counts_as_outcome(run.outcome) && run.first_attempt) {
        ++card.first_runs_today;
        if (run.outcome == "green") ++card.first_pass_today;
      }
      if (run.outcome == "red" && run.failed_line) {
        ++failing[{run.customer, run.script, *run.failed_line, run.failed_text}];
      }
    }
    if (alarm_rule) {
      if (auto alarm = alarm_rule(key.first, key.second, state.recent)) {
        card.fixture_alarm = true;
        view.alarms.push_back(std::move(*alarm));
      }
    }
    view.cards.push_back(std::move(card));
  }
  for (const auto& [id, row] : pending_) view.pending_imeis.push_back(row);
  std::sort(view.pending_imeis.begin(), view.pending_imeis.end(),
            [](const BoardRow& a, const BoardRow& b) { return newer(b, a); });
  for (const auto& [key, count] : failing) {
    view.failing_lines.push_back(
        {std::get<0>(key), std::get<1>(key), std::get<2>(key), std::get<3>(key), count});
  }
  std::stable_sort(view.failing_lines.begin(), view.failing_lines.end(),
                   [](const FailingLine& a, const FailingLine& b) { return a.count > b.count; });
  if (view.failing_lines.size() > failing_lines_shown) {
    view.failing_lines.resize(failing_lines_shown);
  }
  return view;
}

std::vector<std::int64_t> LineModel::watched_ids() const {
  std::vector<std::int64_t> ids(running_.begin(), running_.end());
  for (const auto& entry : pending_) ids.push_back(entry.first);
  return ids;
}

}  // namespace board
