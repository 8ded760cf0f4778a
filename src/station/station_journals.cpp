#include "station/station_journals.h"

#include <cerrno>
#include <cstring>

#include "platform/file_status.h"

namespace station {

namespace {

// Holders keep the lock for a few small writes; one that keeps it longer
// than this has a disk that stopped answering.
constexpr int kStationLockWaitMs = 10'000;

std::string in_station(const std::string& station, const std::string& name) {
  return station == "." ? name : station + "/" + name;
}

}  // namespace

bool StationLock::take(const std::string& station) {
  const std::string path = in_station(station, "run-journals.lock");
  const auto taken = lock_.take_waiting(path, kStationLockWaitMs);
  if (taken == platform::FileLock::Result::kHeld) return true;
  error_ = taken == platform::FileLock::Result::kBusy
               ? path + " is held by another run for too long"
               : path + ": " + std::strerror(errno);
  return false;
}

std::vector<JournalPlace> journal_places(const std::string& station) {
  std::vector<JournalPlace> places;
  for (int port = 1; port <= 8; ++port) {
    places.push_back({port, journal_path(station, port), false});
    places.push_back({port, old_journal_path(station, port), true});
  }
  return places;
}

Holder journal_holder(const std::string& path) {
  platform::FileLock probe;
  switch (probe.take(path + ".lock")) {
    case platform::FileLock::Result::kHeld:
      return Holder::kNobody;
    case platform::FileLock::Result::kBusy:
      return Holder::kRun;
    case platform::FileLock::Result::kFailed:
      break;
  }
  return Holder::kUnknown;
}

bool imei_left_pending(const JournalRun& run, Holder holder) {
  return run.imei_pending() && (!run.open() || holder == Holder::kNobody);
}

std::vector<JournalView> read_station_journals(const std::string& station,
                                               const std::string& except_path) {
  std::vector<JournalView> views;
  for (const JournalPlace& place : journal_places(station)) {
    if (place.path == except_path) continue;
    if (platform::path_kind_no_follow(place.path) == platform::PathKind::kNone) continue;
    JournalView view;
    view.place = place;
    RunJournal journal(place.path);
    if (!journal.load()) {
      view.error = journal.error();
      views.push_back(std::move(view));
      continue;
    }
    view.holder = journal_holder(place.path);
    if (view.holder == Holder::kUnknown) {
      view.error =
          place.path + ".lock: cannot tell whether a run holds it (" + std::strerror(errno) + ")";
    }
    view.runs = journal.runs();
    view.damaged = journal.damaged();
    views.push_back(std::move(view));
  }
  return views;
}

}  // namespace station
