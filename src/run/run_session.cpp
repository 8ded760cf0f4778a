#include "run/run_session.h"

#include <cerrno>
#include <cstring>

#include "ffsload_version.h"
#include "fs/imei_guard.h"
#include "link/link.h"
#include "platform/clock.h"
#include "platform/date_time.h"
#include "platform/run_panel.h"
#include "platform/serial_operations.h"
#include "platform/serial_port_config.h"
#include "platform/text_format.h"
#include "platform/user_interface.h"
#include "platform/whole_files.h"
#include "run/cfx_events.h"
#include "run/imei_journal.h"
#include "run/mes_validation.h"
#include "run/recording.h"
#include "script/runner.h"
#include "station/run_journal.h"

namespace run {

namespace {

// Two stations in one folder may save in the same second; beyond this many
// names something else is wrong and the save reports it.
constexpr int kMaxSaveNames = 100;

std::vector<std::string> run_log_lines() {
  using namespace platform;
  int count = 0;
  GetNumTextBoxLines(runPanel, kRunLogControl, &count);
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    std::string line;
    GetTextBoxLine(runPanel, kRunLogControl, i, &line);
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string log_file_text(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    // The station's saved logs have always had CR LF line ends. A line is
    // saved whole, however long.
    text += line;
    text += "\r\n";
  }
  return text;
}

SavedLog write_log_file(const std::string& base, const std::string& text) {
  SavedLog result;
  for (int n = 1; n <= kMaxSaveNames; ++n) {
    result.name = n == 1 ? base + ".txt" : platform::strprintf("%s-%d.txt", base.c_str(), n);
    // Only a new name: another station's log of the same second is never emptied.
    const int error = platform::create_exclusive(result.name, text);
    if (error == EEXIST) continue;
    if (error != 0) {
      result.error = std::strerror(error);
      return result;
    }
    result.saved = true;
    return result;
  }
  result.error = "too many logs saved in the same second";
  return result;
}

}  // namespace

RunResult run_script(const RunContext& context) {
  using namespace platform;
  // The layers below read the port and the script where the runner has
  // always kept them; only this function sets them, from the run's context.
  comport = context.port;
  tmsfile = context.script;
  if (!context.device.empty()) set_device_override(context.port, context.device);
  wire::set_check_reply_checksum(context.check_reply_checksum);
  // A pulled USB adapter hangs its device up for good; opening it again at
  // the next run lets the station work on once the adapter is back, without a
  // restart. A port that is open and well is never touched.
  std::string port_problem;  // why the port cannot be opened, "" when it is open
  if (port_needs_opening(comport)) {
    config_comport(comport);
    if (std::string why = last_open_error(comport); !why.empty()) {
      fs::operator_notice({"port.cannot_open", {std::to_string(comport), why}});
      port_problem = why;
    }
  }
  SetCtrlVal(runPanel, kElapsedTimeControl, "");
  const std::int64_t started_ms = now_utc_ms();
  // The MES's word before anything touches the handset: a station the MES
  // locked, or a unit it refused, runs nothing, whichever front end asked.
  const RunGate gate = check_before_run(context);
  if (gate.refused) {
    ResetTextBox(runPanel, kRunLogControl, "");
    SetCtrlAttribute(runPanel, kRunLogControl, kAttrBackColor, kColorYellow);
    // In the run log, so that the run's record holds the refusal.
    InsertTextBoxLine(runPanel, kRunLogControl, kAppendLine, gate.text.english());
    fs::operator_notice(gate.text);
    record_run(context, started_ms, now_utc_ms(), RunOutcome::kNoRun);
    RunResult refused;
    refused.refusal = gate.text.english();
    return refused;
  }
  // The port's journal first, in the station folder whichever front end runs
  // the port: another run on it (the same port number in this folder) is
  // refused before anything else, and runs an earlier process left open are
  // recorded as interrupted before this run's unit counts its attempt.
  ImeiJournal journal(context);
  if (!journal.open()) {
    ResetTextBox(runPanel, kRunLogControl, "");
    SetCtrlAttribute(runPanel, kRunLogControl, kAttrBackColor, kColorYellow);
    fs::operator_notice({"port.in_use", {std::to_string(comport), journal.error()}});
    record_run(context, started_ms, now_utc_ms(), RunOutcome::kNoRun);
    RunResult busy;
    busy.port_in_use = true;
    return busy;
  }
  // The record exists from the start, and the journal knows the run and its
  // unit before anything touches the handset: either survives a process that dies.
  station::JournalRun journal_run;
  journal_run.uid = start_run_record(context, started_ms);
  journal_run.started_at_ms = started_ms;
  journal_run.port = comport;
  journal_run.device = device_path_for_port(comport);
  journal_run.customer = context.customer_key;
  journal_run.script = context.script;
  journal_run.ma_no = context.ma_no;
  journal_run.station = station_name();
  journal_run.tool_version = FFSLOAD_VERSION;
  const RunIdentity identity = current_run_identity();
  journal_run.unit_serial = identity.unit_serial.value_or("");
  journal_run.operator_id = identity.operator_id.value_or("");
  journal_run.attempt = identity.attempt;
  journal_run.fixture = journal_run.device;
  journal_run.front_end = context.front_end;
  journal.start(journal_run);
  // The factory network hears of the run once its journal knows it, before
  // the handset is touched: a crash from here on is rebuilt as interrupted.
  cfx_run_started(context, journal_run.uid, started_ms, port_problem);
  fs::set_imei_keeper(&journal);
  // Whole seconds as a calendar clock counts them, from the clock the rest of
  // the run uses (so a run on the tests' fake clock takes its simulated time).
  const long start = platform::clock() / 1000;
  ResetTextBox(runPanel, kRunLogControl, "");
  SetCtrlAttribute(runPanel, kRunLogControl, kAttrBackColor, kColorYellow);
  if (!gate.text.empty()) {
    // cfx-validate = advisory: the run goes on, and its record says why.
    InsertTextBoxLine(runPanel, kRunLogControl, kAppendLine, gate.text.english());
    fs::operator_notice(gate.text);
  }
  download();
  fs::set_imei_keeper(nullptr);
  if (fs::imei_at_risk()) {
    fs::operator_notice({"imei.only_on_pc", {fs::imei_backup_file()}});
  }
  RunResult result;
  result.uid = journal_run.uid;
  result.elapsed_seconds = platform::clock() / 1000 - start;
  SetCtrlVal(runPanel, kElapsedTimeControl, strprintf("%ld", result.elapsed_seconds));
  // The runner's own word on how the run ended; the run log's colour says
  // the same to the operator.
  result.outcome = script::last_run_end().outcome;
  journal.end(outcome_name(result.outcome));
  // After the outcome is on the panel: the operator sees it without waiting
  // for the record, and a record that fails changes nothing of the run.
  if (const std::string fate = journal.fate(); !fate.empty()) note_run_imei_fate(fate);
  const records::KeepResult kept = record_run(context, started_ms, now_utc_ms(), result.outcome);
  // End messages the queue had no room for wait in the journal, as a record does.
  if (const auto end = take_unqueued_end()) {
    fs::operator_notice(journal.keep_unqueued(*end)
                            ? platform::OperatorText{"cfx.journal_keeps", {std::to_string(comport)}}
                            : platform::OperatorText{"cfx.lost", {}});
  }
  if (!kept.stored && !kept.kept_locally) {
    fs::operator_notice(
        journal.keep_unrecorded()
            ? platform::OperatorText{"records.journal_keeps", {std::to_string(comport)}}
            : platform::OperatorText{"records.lost", {}});
  }
  return result;
}

const char* outcome_name(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kGreen:
      return "green";
    case RunOutcome::kRed:
      return "red";
    case RunOutcome::kNoRun:
      break;
  }
  return "no run";
}

SavedLog save_log_lines(const std::vector<std::string>& lines, const std::string& folder) {
  using namespace platform;
  int month = 0, day = 0, year = 0, hours = 0, minutes = 0, seconds = 0;
  GetSystemDate(&month, &day, &year);
  CVI_GetSystemTime(&hours, &minutes, &seconds);
  const std::string base =
      strprintf("%sDownload_%02d%02d-%02d%02d%02d", folder.empty() ? "" : (folder + "/").c_str(),
                month, day, hours, minutes, seconds);
  return write_log_file(base, log_file_text(lines));
}

SavedLog save_run_log() {
  using namespace platform;
  SetCtrlAttribute(runPanel, kSaveButtonControl, kAttrVisible, 0);
  SavedLog result = save_log_lines(run_log_lines(), "");
  SetCtrlAttribute(runPanel, kSaveButtonControl, kAttrVisible, 1);
  return result;
}

}  // namespace run
