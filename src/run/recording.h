// Every run leaves one record, whichever front end ran it: its session's
// Recorder keeps a first copy at the start, copies in the handset's pauses
// and the last one when the run ends. What only the front end knows comes
// in the run's context.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/pause_work.h"
#include "link/run_log.h"
#include "records/fixture_alarm.h"
#include "records/outbox.h"
#include "records/unit_history.h"
#include "run/run_context.h"
#include "script/run_control.h"

namespace run {

class CfxRun;

// The port's fixture alarm as this station's records (`records_option`, as
// RunContext has it) hold it now, for the alarm's K (0: off): a front end
// that opens a port shows an alarm raised before it started. Not raised when
// the records cannot be read or the alarm is off.
records::FixtureAlarm read_fixture_alarm(int port, const std::string& records_option, int k);

// This station's name (the host's).
std::string station_name();

// Milliseconds since 1970, UTC.
std::int64_t now_utc_ms();

// "green", "red" or "no run".
const char* outcome_name(script::RunOutcome outcome);

// Who the run under way is for, as its record has it from the start.
struct RunIdentity {
  std::optional<std::string> unit_serial;
  std::optional<std::string> operator_id;
  std::optional<int> attempt;  // known at the start for a unit with a serial
};

class Recorder {
 public:
  // The records of `context`'s run. A records problem is told to `log`'s
  // notices once, not after every run, until records go through again (the
  // context's BetweenRuns remembers across runs). The progress copies wait
  // for the handset's pauses on `pauses`; without any they wait for the end.
  Recorder(const RunContext& context, wire::RunLog& log, wire::PauseWork* pauses = nullptr);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Ends the run's messages to the factory network with its last record
  // (they are queued before the record is kept); none by default.
  void set_cfx(CfxRun* cfx) { cfx_ = cfx; }

  // A run starts: its record, outcome "running", is kept in the handset's
  // first pause (the run journal, flushed before the handset is touched,
  // knows the run until then), so that a run that dies where nothing can be
  // caught still leaves one. Returns its uid.
  std::string start(std::int64_t started_ms);
  RunIdentity identity() const;
  // The run under way backed up an IMEI: its record holds it from now on.
  // fate: see records::RunRecord::imei_fate.
  void imei_backed_up(const std::vector<std::uint8_t>& imei, const std::string& fate);
  // What became of the run's IMEI, for its last record.
  void note_imei_fate(const std::string& fate);

  // Records the run that ended: outcome "green", "red" or "no run" (also
  // for a run that never started, such as a customer not found). The run
  // log is read from where the run left it; `end` says where a red run
  // failed, `imei` what the run read back. A record that cannot be kept is
  // said once to the operator; it never changes the run's outcome.
  records::KeepResult record(std::int64_t started_ms, std::int64_t ended_ms,
                             script::RunOutcome outcome, const script::RunEnd& end = {},
                             const std::optional<std::vector<std::uint8_t>>& imei = std::nullopt);

  // A record for a run of an earlier process that the journal knows of (one
  // found interrupted, or whose pending IMEI was settled now).
  records::KeepResult keep_earlier(const records::RunRecord& record);

 private:
  // The run under way, between start() and record().
  struct CurrentRun {
    bool started = false;
    std::string uid;
    std::int64_t started_ms = 0;
    long started_clock_ms = 0;  // platform::clock() at the start
    bool copy_kept = false;     // the store has a copy: the board shows it running
    std::optional<std::string> imei;
    std::optional<std::string> imei_fate;
    std::optional<std::string> unit;
    std::optional<std::string> operator_id;
    std::optional<int> attempt;
    // The IMEI `attempt` was counted for, when the unit is known by its IMEI.
    std::optional<std::string> attempt_imei;
    // The port's runs before this one, read in a pause: the fixture alarm
    // after the run is counted from them, not from the records, where the
    // ports of a station meet as their runs end.
    std::optional<std::vector<records::RunRecord>> port_runs;
  };

  std::optional<records::UnitHistory> unit_history(const std::string* serial,
                                                   const std::string* imei, const std::string& uid);
  records::RunRecord base_record(std::int64_t started_ms) const;
  records::KeepResult keep(records::RunRecord r,
                           records::Durability durability = records::Durability::kFlushed);
  void keep_in_next_pause(records::RunRecord r);
  void keep_progress_copy();
  void tell_once(const platform::OperatorText& text);
  std::int64_t next_revision();

  RunContext context_;
  wire::RunLog& log_;
  wire::PauseWork* pauses_;
  CfxRun* cfx_ = nullptr;
  CurrentRun current_;
  // The run's connection to its records, from its first copy to its last.
  records::RecordKeeper keeper_;
  // The run's newest progress copy, waiting for the handset's next pause.
  std::optional<records::RunRecord> progress_copy_;
  std::int64_t last_revision_ = 0;
};

// A run that never started (a customer not found): its record, outcome
// "no run", with notices to the context's.
records::KeepResult record_no_run(const RunContext& context);

// A record for a run of an earlier process outside any run ("ffsload
// pending"), kept where `records_option` says (as RunContext has it).
records::KeepResult record_earlier_run(const records::RunRecord& record,
                                       const std::string& records_option);

}  // namespace run
