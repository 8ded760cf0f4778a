// The run journals of one station folder, read together: an IMEI that a run
// formatted away is the station's to give back, whichever port's run left
// it, since a handset may come back on another fixture. Reading another
// port's journal, settling an IMEI in it, rewriting a journal and opening a
// run all happen under one lock of the station folder, held for a few reads
// and writes at a time, never while an operator is asked.
#pragma once

#include <string>
#include <vector>

#include "platform/file_lock.h"
#include "station/run_journal.h"

namespace station {

// "run-journals.lock" in the station folder.
class StationLock {
 public:
  // Waits a few seconds for another holder; false (error() says why) when
  // it cannot be had.
  bool take(const std::string& station);
  const std::string& error() const { return error_; }

 private:
  platform::FileLock lock_;
  std::string error_;
};

// One place a port's journal may be: the station folder, or the port's own
// folder "ports/N", where an older ffsload kept it.
struct JournalPlace {
  int port = 0;
  std::string path;
  bool old_place = false;
};
// Both places of ports 1 to 8, whether or not a journal is there.
std::vector<JournalPlace> journal_places(const std::string& station);

// Whether a run holds the journal at `path` now. An open run of a held
// journal is that run, alive; of a journal nobody holds, a run that died.
enum class Holder { kNobody, kRun, kUnknown };
Holder journal_holder(const std::string& path);

// A pending IMEI that a process left in the journal at `path`: formatted
// away and not back, and either ended or left by a process that died.
bool imei_left_pending(const JournalRun& run, Holder holder);

// The station's journals as they stand, other than `except_path` (the
// caller's own). Those that exist only.
struct JournalView {
  JournalPlace place;
  std::string error;  // why it cannot be read or told alive ("" when it can)
  Holder holder = Holder::kNobody;
  std::vector<JournalRun> runs;
  std::vector<std::string> damaged;
};
std::vector<JournalView> read_station_journals(const std::string& station,
                                               const std::string& except_path = "");

}  // namespace station
