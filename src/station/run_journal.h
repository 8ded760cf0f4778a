// The run journal: one small append-only file per port in the station folder
// ("run-journal_N") that outlives the process, whichever front end ran the
// port (a port's own folder "ports/N" never holds one). It holds what must not be
// lost when a run dies where nothing can be caught (a power cut, kill -9, the
// out-of-memory killer): which run backed up which IMEI, whether the handset
// was formatted after that and whether the IMEI went back. Every entry is on
// the disk (fdatasync) before the call that wrote it returns true.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file_lock.h"

namespace station {

// What happened to an IMEI that a run formatted away without a confirmed
// write-back, once the station knew more.
enum class ImeiFate {
  kNone,         // still pending, or never at risk
  kWrittenBack,  // the handset answered with it: the write-back had happened
  kRestored,     // the operator said it is this handset: a later run gave it back
  kKeptAside,    // the operator said it is not: kept for good, never given to a handset
};

const char* fate_name(ImeiFate fate);  // "written back", "restored", "kept aside", ""

struct JournalRun {
  std::string uid;  // the run's record uid
  std::int64_t started_at_ms = 0;
  int port = 0;
  std::string device;
  std::string customer;
  std::string script;
  std::string ma_no;
  std::string station;
  std::string tool_version;
  // Who and what the run was for, from its start: a run rebuilt from the
  // journal keeps its unit, and a pending IMEI names the handset it belongs to.
  std::string unit_serial;  // "" when the station does not scan serials
  std::string operator_id;
  std::optional<int> attempt;
  std::string fixture;
  std::string front_end;                          // "run", "repeat", "ports", "grid", "panels"
  std::optional<std::vector<std::uint8_t>> imei;  // backed up by this run
  std::string pc_file;                            // where
  bool formatted = false;                         // a format request went out after the backup
  bool written_back = false;                      // the handset confirmed the write-back
  bool ended = false;                             // the process saw the run end
  std::string outcome;                            // then: "green", "red", ...
  bool interrupted = false;                       // a later run found it open
  bool unrecorded = false;  // its record reached neither the store nor the outbox
  // Its end messages for the factory network found no room in the queue:
  // what rebuilds them (opaque here, written and read by the run's CFX side),
  // until a later run has queued them. "" when none wait.
  std::string unqueued_end;
  ImeiFate fate = ImeiFate::kNone;
  std::string fate_note;  // who settled it when not a run ("ffsload pending by ...")
  // An engineer took a keep-aside back: who, when and why. The IMEI is
  // pending again.
  std::string reopened_note;
  // A line engineer's resolution found that a damaged line may have been
  // this run's IMEI or format line: it is taken as formatted, to be safe.
  std::string repaired_note;

  // Formatted away and not (known to be) back on its handset.
  bool imei_pending() const {
    return imei && formatted && !written_back && fate == ImeiFate::kNone;
  }
  // Neither closed by its own process nor yet noted by a later run.
  bool open() const { return !ended && !interrupted; }
};

// "run-journal_N".
std::string journal_file_name(int port);

// The environment variable that tells a port's run, working in its own
// folder "ports/N", where its station folder is (set by run --ports and the
// grid); unset, the current folder is the station folder.
constexpr const char* kStationFolderVariable = "FFSLOAD_STATION";
// The same for the front end that runs the port ("ports", "grid"), which the
// journal names beside each pending IMEI.
constexpr const char* kFrontEndVariable = "FFSLOAD_FRONT_END";
// The station folder of this process's runs.
std::string station_folder();
// The port's journal in the station folder.
std::string journal_path(const std::string& station, int port);
// Where an older ffsload kept the journal of a port run by run --ports or
// the grid: "ports/N/run-journal_N" under the station folder.
std::string old_journal_path(const std::string& station, int port);

class RunJournal {
 public:
  explicit RunJournal(std::string path) : path_(std::move(path)) {}
  ~RunJournal();
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  // Takes the journal for this process until it is destroyed (or the process
  // dies): a second process on the same port and folder must not take a live
  // run for an interrupted one. False when another process holds it
  // (busy() then says so) or the lock file cannot be made.
  bool lock();
  bool busy() const { return busy_; }

  // Reads the file (none yet is an empty journal). Lines that do not read
  // back whole (a torn last line, a damaged disk block) are listed in
  // damaged() and damaged_lines(), and stay in the file until
  // resolve_damaged(): one of them may be a pending IMEI. A CR before a line
  // end is read as part of the line end. False when it cannot be read.
  bool load();
  const std::vector<JournalRun>& runs() const { return runs_; }
  const JournalRun* find(const std::string& uid) const;
  const std::vector<std::string>& damaged() const { return damaged_; }
  const std::vector<std::string>& damaged_lines() const { return damaged_lines_; }
  const std::string& path() const { return path_; }
  // Why the last load or write failed.
  const std::string& error() const { return error_; }

  bool started(const JournalRun& run);
  // Written, not yet flushed: the IMEI is at risk only from the format on,
  // and formatting() flushes the backup's line with its own, in one sync.
  bool backed_up(const std::string& uid, const std::vector<std::uint8_t>& imei,
                 const std::string& pc_file);
  bool formatting(const std::string& uid);
  bool written_back(const std::string& uid);
  bool ended(const std::string& uid, const std::string& outcome);
  bool interrupted(const std::string& uid);
  bool settled(const std::string& uid, ImeiFate fate, const std::string& note = "");
  // An engineer takes a keep-aside back, with who, when and why: the IMEI is
  // pending again.
  bool reopened(const std::string& uid, const std::string& note);
  // The run's last record could not be kept anywhere (a full disk), or a
  // later run has since recorded it from here.
  bool unrecorded(const std::string& uid);
  bool recorded(const std::string& uid);
  // The same for the run's end messages to the factory network: `end` is
  // what rebuilds them, kept until a later run has queued them. An older
  // ffsload reads the line as damaged, which keeps its formats refused
  // until a line engineer has looked: never a pending IMEI lost.
  bool unqueued(const std::string& uid, const std::string& end);
  bool queued(const std::string& uid);

  // Takes in the journal at `other` (an older place of this port's
  // journal): its runs and its damaged lines are appended here, flushed,
  // and only then is `other` renamed to "<other>.moved". Nothing to do when
  // there is no such file. False when it cannot be read or moved.
  bool absorb(const std::string& other);

  // Rewrites the journal with only what is still needed (runs that are open,
  // pending or kept aside) when it has grown past `max_bytes`. Damaged lines
  // are kept as they are, after the healthy part: they wait for
  // resolve_damaged(). False when the journal could not be rewritten (it is
  // then left as it was).
  bool compact(std::size_t max_bytes);
  // A line engineer has read the damaged lines: they are appended, flushed,
  // to "<journal>.damaged" (whose name goes into *damaged_file), the journal
  // is rewritten without them, and a "resolved" line with `note` says who
  // and when. A run that never ended is never let go by it: a damaged line
  // that may be its IMEI or format line (by the run it names, or any run when
  // it names none that can be read) leaves it formatted, with the IMEI the
  // line still shows when the run had none; *repaired gets their uids.
  // False when it could not be done (the journal is then as it was).
  bool resolve_damaged(const std::string& note, std::string* damaged_file,
                       std::vector<std::string>* repaired = nullptr);

 private:
  enum class Flush { kNow, kWithNextLine };
  bool append(const std::vector<std::string>& fields, Flush flush = Flush::kNow);
  bool append_text(std::string text, Flush flush);
  void apply(const std::vector<std::string>& fields, const std::string& raw);
  JournalRun& entry(const std::string& uid);
  bool rewrite(const std::vector<JournalRun>& keep, bool keep_damaged);
  void reindex();

  std::string path_;
  platform::FileLock lock_;
  bool busy_ = false;
  std::vector<JournalRun> runs_;
  std::unordered_map<std::string, std::size_t> index_;  // uid -> runs_, so a load is linear
  std::vector<std::string> damaged_;
  std::vector<std::string> damaged_lines_;
  std::size_t size_ = 0;
  bool torn_end_ = false;  // the file does not end with a line end
  std::string error_;
};

}  // namespace station
