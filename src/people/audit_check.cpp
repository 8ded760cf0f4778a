#include "people/audit_check.h"

#include <algorithm>
#include <map>

#include "people/audit_event.h"

namespace people {

std::string head_line(const ChainHead& head) {
  return "station " + head.station + ": " + std::to_string(head.number) + " events, head " +
         std::to_string(head.number) + " " + head.hash;
}

std::optional<ChainHead> head_from_line(const std::string& line) {
  // "station NAME: N events, head N HASH"; a host's name holds no ": ".
  constexpr std::string_view kStart = "station ";
  if (!line.starts_with(kStart)) return std::nullopt;
  const auto colon = line.find(": ", kStart.size());
  const auto head = line.find(" events, head ");
  if (colon == std::string::npos || head == std::string::npos || head < colon) return std::nullopt;
  ChainHead result;
  result.station = line.substr(kStart.size(), colon - kStart.size());
  const std::string rest = line.substr(head + 14);
  const auto space = rest.find(' ');
  if (space == std::string::npos) return std::nullopt;
  try {
    std::size_t used = 0;
    result.number = std::stoll(rest.substr(0, space), &used);
    if (used != space || result.number < 1) return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  result.hash = rest.substr(space + 1);
  while (!result.hash.empty() && (result.hash.back() == '\r' || result.hash.back() == ' ')) {
    result.hash.pop_back();
  }
  if (result.hash.size() != 64 ||
      result.hash.find_first_not_of("0123456789abcdef") != std::string::npos) {
    return std::nullopt;
  }
  return result;
}

namespace {

struct Walk {
  std::string station;
  std::int64_t expected = 1;
  std::string previous = kFirstPreviousHash;
  bool broken = false;
  // The hashes of the events a kept head names, once the walk passes them.
  std::map<std::int64_t, std::string> passed;
};

}  // namespace

TrailCheck check_trail(Database& db, const std::vector<ChainHead>& kept) {
  TrailCheck check;
  if (!db.has_tables()) {
    for (const ChainHead& head : kept) {
      check.breaks.push_back("station " + head.station + ": the store holds no audit trail, " +
                             "but a head of " + std::to_string(head.number) +
                             " events was kept");
    }
    return check;
  }
  std::map<std::string, std::vector<std::int64_t>> wanted;  // numbers kept heads name
  for (const ChainHead& head : kept) wanted[head.station].push_back(head.number);
  std::map<std::string, Walk> walks;
  Walk* walk = nullptr;
  const auto finish = [&](Walk& w) {
    check.heads.push_back({w.station, w.expected - 1, w.previous});
  };
  db.for_each_row(std::string("SELECT ") + kEventColumns +
                      " FROM audit_events ORDER BY station, number, id",
                  {}, [&](const records::Row& row) {
                    ++check.events;
                    const std::string& station = row.size() > 1 && row[1] ? *row[1] : "";
                    if (!walk || walk->station != station) {
                      if (walk) finish(*walk);
                      walk = &walks[station];
                      walk->station = station;
                    }
                    // The rest of a broken chain is only counted.
                    if (walk->broken) return;
                    const AuditEvent e = event_from_row(row);
                    std::string why;
                    if (e.number < walk->expected) {
                      why = "its number " + std::to_string(e.number) +
                            " comes again or out of order: an event was inserted or moved here";
                    } else if (e.number > walk->expected) {
                      why = walk->expected + 1 == e.number
                                ? "number " + std::to_string(walk->expected) +
                                      " before it is missing: deleted"
                                : "numbers " + std::to_string(walk->expected) + " to " +
                                      std::to_string(e.number - 1) +
                                      " before it are missing: deleted";
                    } else if (event_hash(e) != e.hash) {
                      why = "its content is not what was written: edited";
                    } else if (e.previous_hash != walk->previous) {
                      why = "it does not follow the event before it: that one was edited, or an "
                            "event was inserted, deleted or moved here";
                    }
                    if (!why.empty()) {
                      walk->broken = true;
                      check.breaks.push_back(event_name(e) + ": " + why);
                      return;
                    }
                    const auto& numbers = wanted[e.station];
                    if (std::find(numbers.begin(), numbers.end(), e.number) != numbers.end()) {
                      walk->passed[e.number] = e.hash;
                    }
                    walk->previous = e.hash;
                    ++walk->expected;
                  });
  if (walk) finish(*walk);
  for (const ChainHead& head : kept) {
    const auto found = walks.find(head.station);
    const std::string where = "station " + head.station + ": ";
    if (found == walks.end()) {
      check.breaks.push_back(where + "no events, but a head of " + std::to_string(head.number) +
                             " events was kept: the chain was deleted");
      continue;
    }
    const Walk& w = found->second;
    if (w.broken) continue;  // already told
    if (w.expected - 1 < head.number) {
      check.breaks.push_back(where + "ends at number " + std::to_string(w.expected - 1) +
                             ", but a head at number " + std::to_string(head.number) +
                             " was kept: its newest events were deleted");
      continue;
    }
    const auto passed = w.passed.find(head.number);
    if (passed == w.passed.end() || passed->second != head.hash) {
      check.breaks.push_back(where + "event number " + std::to_string(head.number) +
                             " is not the one whose head was kept: the chain was written again "
                             "up to there");
    }
  }
  return check;
}

}  // namespace people
