// Everything one run depends on, as one value: the front end that runs it
// (the command line, the panels, a port of run --ports or the grid) builds
// it and hands it to run_script(). Nothing a run depends on is left in
// globals that another front end, or another run in this process, set.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cfx/cfx_settings.h"
#include "fs/imei_guard.h"
#include "link/link.h"
#include "records/fixture_alarm.h"
#include "station/run_journal.h"

namespace run {

// What front ends show of a run's unit and its port, told as the run goes:
// `unit` once the run's record exists ("unit SN-1: attempt 2, passed before
// at 2024-03-01 08:15 UTC"), `alarm` after every record with the port's
// fixture alarm as the records hold it then (raised or not); `notice` for
// whatever else the operator must hear beside the run log (a pending IMEI, a
// records problem, a port that did not open). Unset: `unit` and `alarm`
// tell nothing, notices go to the standard error in English.
struct RunNotices {
  std::function<void(const platform::OperatorText& text)> unit;
  std::function<void(int port, const records::FixtureAlarm& alarm)> alarm;
  wire::NoticeSink notice;
};

// What a front end's runs on its port keep from one to the next, as the
// station's one process always has: IMEI_flag (the last IMEI read-back's
// word), whether the operator was told of a records problem (told once until
// records go through again), and the last record revision given.
struct BetweenRuns {
  char IMEI_flag = 0;
  bool told_records_problem = false;
  std::int64_t last_revision = 0;
};

// How the front end answers the question about an IMEI left pending by a run
// that died (a dialog, the terminal, an option), given the pending IMEIs that
// may be this handset's, newest first. Unset: nobody answers, and the run
// stops before any format.
using PendingImeiAnswer = std::function<fs::PendingAnswer(
    const fs::PendingImei& pending, const std::vector<fs::PendingImei>& candidates,
    const std::string& question)>;

struct RunContext {
  int port = 0;
  std::string device;        // overrides the port's device of "comports" when not empty
  std::string script;        // the .tms file
  std::string customer_key;  // "12.3" as the operator chose it; "" for a script given by name
  std::string ma_no;         // the "MA_NO" text shown for the customer
  // --records; "" leaves the choice to FFSLOAD_RECORDS, the station file and
  // the default (records::resolve_location).
  std::string records_option;
  std::optional<std::string> unit_serial;  // never carried to the next unit
  std::optional<std::string> operator_id;
  int fixture_alarm_runs = records::kDefaultFixtureAlarmRuns;  // 0 turns the alarm off
  RunNotices notices;
  PendingImeiAnswer pending_answer;
  // The IMEI the front end's answer names before any question
  // (--pending-imei restore=HEX): taken unless the unit's serial disagrees.
  std::optional<std::vector<std::uint8_t>> named_pending_imei;
  bool check_reply_checksum = false;
  // "run", "repeat", "ports", "grid", "panels": named beside a pending IMEI.
  std::string front_end = "run";
  // Where the port's journal is (a port's run works in its own folder).
  std::string station_folder = station::station_folder();
  // The factory network's messages ("cfx-*" in ffsload.conf): off unless
  // cfx-broker is set; then the run's messages go to the station folder's queue.
  cfx::Settings cfx;
  // Every frame of the run, for a trace (wire::FrameTrace); unset: none.
  wire::TraceSink trace;
  // Shared by the copies of a context: a front end that copies its context
  // for each run keeps it from run to run; a context made afresh starts
  // afresh, as a new process does.
  std::shared_ptr<BetweenRuns> between_runs = std::make_shared<BetweenRuns>();
};

}  // namespace run
