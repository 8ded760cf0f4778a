// One run, as one object: what every front end does around one run of the
// script, and the saving of the run log: one implementation for the GUI's
// Run and Save buttons and for "ffsload run". A run's Session owns
// everything the run changes: the link to the handset, the IMEI guard and
// the journal that keeps it, the runner, the recorder and the run's messages
// to the factory network. Nothing of it is global, so two runs in one
// process never see each other's port, IMEI or record.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "fs/imei_guard.h"
#include "link/link.h"
#include "link/run_log.h"
#include "run/cfx_events.h"
#include "run/imei_journal.h"
#include "run/recording.h"
#include "run/run_context.h"
#include "script/run_control.h"
#include "script/runner.h"

namespace run {

using RunOutcome = script::RunOutcome;

struct RunResult {
  RunOutcome outcome = RunOutcome::kNoRun;
  long elapsed_seconds = 0;
  // Why a run was refused before the handset was touched (the MES's lock or
  // its word on the unit), "" otherwise; already told to the operator.
  std::string refusal;
  // Another run holds the port's journal (the same port in this station folder).
  bool port_in_use = false;
  // How the runner saw the run end: where it stopped, whether on request.
  script::RunEnd end;
  // The PC file that alone holds the IMEI when the run left the handset
  // formatted without it; "" when it did not.
  std::string imei_only_in;
  // Complete replies whose checksum broke the XOR rule during the run.
  int reply_checksum_mismatches = 0;
  // The uid of the run's record, "" for a run refused before it had one.
  std::string uid;
};

class Session {
 public:
  explicit Session(const RunContext& context);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The Run button: empties the elapsed time, empties the run log and
  // colours it yellow, runs the context's script, and shows the whole
  // seconds it took. The outcome is the runner's own: green, red, or no run
  // when the script could not be opened; the log's colour shows it. Every
  // run, a run that could not start included, then leaves its record
  // (run/recording.h). Once per session.
  RunResult run();

  const RunContext& context() const { return context_; }
  wire::Link& link() { return link_; }
  const fs::ImeiGuard& imei() const { return guard_; }
  // The script line the run is at; a signal handler may read it, and imei().
  int current_line_number() const { return runner_.current_line_number(); }

 private:
  // The run's steps: the port opened if it needs it ("" or why it cannot
  // be); the record, journal and factory messages started before the handset
  // is touched; the journal, record and messages ended; or a refused run's
  // record.
  std::string open_port();
  void start(std::int64_t started_ms, const std::string& port_problem);
  void finish(std::int64_t started_ms, const RunResult& result);
  RunResult refused(std::int64_t started_ms, RunResult result);

  RunContext context_;
  wire::PanelRunLog log_;
  wire::Link link_;
  fs::ImeiGuard guard_;
  script::Runner runner_;
  CfxRun cfx_;
  Recorder recorder_;
  ImeiJournal journal_;
  std::string uid_;  // the run's record, from its start
};

// Builds the context's session and runs it.
RunResult run_script(const RunContext& context);

// The session whose run is under way in this process (the latest to start,
// should several be), or null: for a signal handler that ends the process
// at once and must say where the run was and where its IMEI is.
const Session* session_under_way();

struct SavedLog {
  bool saved = false;
  std::string name;   // the file written, or the one that could not be
  std::string error;  // why not, when saved is false
};

// The Save button: writes every run-log line, each followed by CR LF, into
// "Download_MMDD-HHMMSS.txt" in the current folder; the save button is hidden
// while it writes. A file of that name is never emptied: the log then goes to
// "Download_MMDD-HHMMSS-2.txt", "-3", ... The file is created exclusively and
// written completely, or removed again.
SavedLog save_run_log();

// The same file, named and written the same way, for a log the caller holds
// (a station grid's tile): `lines` into `folder` ("" for the current folder,
// whose files are then named without a folder, as save_run_log() names them).
SavedLog save_log_lines(const std::vector<std::string>& lines, const std::string& folder);

}  // namespace run
