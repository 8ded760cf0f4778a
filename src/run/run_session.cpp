#include "run/run_session.h"

#include <cerrno>
#include <cstring>

#include "ffsload_version.h"
#include "platform/clock.h"
#include "platform/date_time.h"
#include "platform/run_panel.h"
#include "platform/serial_operations.h"
#include "platform/serial_port_config.h"
#include "platform/text_format.h"
#include "platform/user_interface.h"
#include "platform/whole_files.h"
#include "run/mes_validation.h"
#include "station/run_journal.h"

namespace run {

namespace {

// Two stations in one folder may save in the same second; beyond this many
// names something else is wrong and the save reports it.
constexpr int kMaxSaveNames = 100;

std::vector<std::string> run_log_lines() {
  using namespace platform;
  int count = 0;
  GetNumTextBoxLines(run_panel(), kRunLogControl, &count);
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    std::string line;
    GetTextBoxLine(run_panel(), kRunLogControl, i, &line);
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

std::atomic<const Session*> g_under_way{nullptr};

// Marks the session as the one under way while it runs; one that started
// while another ran (a test's) hands the mark back when it ends.
class UnderWay {
 public:
  explicit UnderWay(const Session* session)
      : session_(session), before_(g_under_way.exchange(session)) {}
  ~UnderWay() {
    const Session* mine = session_;
    g_under_way.compare_exchange_strong(mine, before_);
  }
  UnderWay(const UnderWay&) = delete;
  UnderWay& operator=(const UnderWay&) = delete;

 private:
  const Session* session_;
  const Session* before_;
};

}  // namespace

Session::Session(const RunContext& context)
    : context_(context),
      log_(context_.notices.notice),
      link_(context_.port, &log_),
      guard_(context_.between_runs->IMEI_flag),
      runner_(link_, guard_),
      cfx_(context_, log_),
      recorder_(context_, log_, &link_.pauses()),
      journal_(context_, log_, recorder_, cfx_) {
  runner_.tmsfile = context_.script;
  link_.set_check_reply_checksum(context_.check_reply_checksum);
  link_.set_trace_sink(context_.trace);
  recorder_.set_cfx(&cfx_);
}

Session::~Session() = default;

RunResult Session::refused(std::int64_t started_ms, RunResult result) {
  recorder_.record(started_ms, now_utc_ms(), RunOutcome::kNoRun);
  result.reply_checksum_mismatches = link_.reply_checksum_mismatches();
  return result;
}

std::string Session::open_port() {
  const int port = link_.comport();
  if (!context_.device.empty()) platform::set_device_override(port, context_.device);
  // A pulled USB adapter hangs its device up for good; opening it again at
  // the next run lets the station work on once the adapter is back, without a
  // restart. A port that is open and well is never touched.
  if (!platform::port_needs_opening(port)) return "";
  config_comport(port);
  std::string why = platform::last_open_error(port);
  if (!why.empty()) log_.notice({"port.cannot_open", {std::to_string(port), why}});
  return why;
}

void Session::start(std::int64_t started_ms, const std::string& port_problem) {
  // The record exists from the start, and the journal knows the run and its
  // unit before anything touches the handset: either survives a process that dies.
  station::JournalRun journal_run;
  journal_run.uid = uid_ = recorder_.start(started_ms);
  journal_run.started_at_ms = started_ms;
  journal_run.port = link_.comport();
  journal_run.device = platform::device_path_for_port(link_.comport());
  journal_run.customer = context_.customer_key;
  journal_run.script = context_.script;
  journal_run.ma_no = context_.ma_no;
  journal_run.station = station_name();
  journal_run.tool_version = FFSLOAD_VERSION;
  const RunIdentity identity = recorder_.identity();
  journal_run.unit_serial = identity.unit_serial.value_or("");
  journal_run.operator_id = identity.operator_id.value_or("");
  journal_run.attempt = identity.attempt;
  journal_run.fixture = journal_run.device;
  journal_run.front_end = context_.front_end;
  journal_.start(journal_run);
  // The factory network hears of the run once its journal knows it, before
  // the handset is touched: a crash from here on is rebuilt as interrupted.
  cfx_.started(journal_run.uid, started_ms, port_problem);
  guard_.set_keeper(&journal_);
}

void Session::finish(std::int64_t started_ms, const RunResult& result) {
  const std::string port = std::to_string(link_.comport());
  journal_.end(outcome_name(result.outcome));
  // After the outcome is on the panel: the operator sees it without waiting
  // for the record, and a record that fails changes nothing of the run.
  if (const std::string fate = journal_.fate(); !fate.empty()) recorder_.note_imei_fate(fate);
  const records::KeepResult kept =
      recorder_.record(started_ms, now_utc_ms(), result.outcome, result.end, guard_.read_back());
  // End messages the queue had no room for wait in the journal, as a record does.
  if (const auto end = cfx_.take_unqueued_end()) {
    log_.notice(journal_.keep_unqueued(*end)
                    ? platform::OperatorText{"cfx.journal_keeps", {port}}
                    : platform::OperatorText{"cfx.lost", {}});
  }
  if (!kept.stored && !kept.kept_locally) {
    log_.notice(journal_.keep_unrecorded()
                    ? platform::OperatorText{"records.journal_keeps", {port}}
                    : platform::OperatorText{"records.lost", {}});
  }
}

RunResult Session::run() {
  using namespace platform;
  const UnderWay under_way(this);
  const std::string port_problem = open_port();
  SetCtrlVal(run_panel(), kElapsedTimeControl, "");
  const std::int64_t started_ms = now_utc_ms();
  // The MES's word before anything touches the handset: a station the MES
  // locked, or a unit it refused, runs nothing, whichever front end asked.
  const RunGate gate = check_before_run(context_);
  if (gate.refused) {
    ResetTextBox(run_panel(), kRunLogControl, "");
    SetCtrlAttribute(run_panel(), kRunLogControl, kAttrBackColor, kColorYellow);
    // In the run log, so that the run's record holds the refusal.
    log_.line(gate.text.english());
    log_.notice(gate.text);
    RunResult result;
    result.refusal = gate.text.english();
    return refused(started_ms, result);
  }
  // The port's journal first, in the station folder whichever front end runs
  // the port: another run on it (the same port number in this folder) is
  // refused before anything else, and runs an earlier process left open are
  // recorded as interrupted before this run's unit counts its attempt.
  if (!journal_.open()) {
    ResetTextBox(run_panel(), kRunLogControl, "");
    SetCtrlAttribute(run_panel(), kRunLogControl, kAttrBackColor, kColorYellow);
    log_.notice({"port.in_use", {std::to_string(link_.comport()), journal_.error()}});
    RunResult result;
    result.port_in_use = true;
    return refused(started_ms, result);
  }
  start(started_ms, port_problem);
  // Whole seconds as a calendar clock counts them, from the clock the rest of
  // the run uses (so a run on the tests' fake clock takes its simulated time).
  const long start_seconds = platform::clock() / 1000;
  ResetTextBox(run_panel(), kRunLogControl, "");
  SetCtrlAttribute(run_panel(), kRunLogControl, kAttrBackColor, kColorYellow);
  if (!gate.text.empty()) {
    // cfx-validate = advisory: the run goes on, and its record says why.
    log_.line(gate.text.english());
    log_.notice(gate.text);
  }
  RunResult result;
  result.end = runner_.download();
  result.uid = uid_;
  guard_.set_keeper(nullptr);
  if (guard_.at_risk()) {
    result.imei_only_in = guard_.backup_file();
    log_.notice({"imei.only_on_pc", {guard_.backup_file()}});
  }
  result.elapsed_seconds = platform::clock() / 1000 - start_seconds;
  SetCtrlVal(run_panel(), kElapsedTimeControl, strprintf("%ld", result.elapsed_seconds));
  // The runner's own word on how the run ended; the run log's colour says
  // the same to the operator.
  result.outcome = result.end.outcome;
  result.reply_checksum_mismatches = link_.reply_checksum_mismatches();
  finish(started_ms, result);
  return result;
}

RunResult run_script(const RunContext& context) {
  Session session(context);
  return session.run();
}

const Session* session_under_way() {
  return g_under_way.load();
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
  SetCtrlAttribute(run_panel(), kSaveButtonControl, kAttrVisible, 0);
  SavedLog result = save_log_lines(run_log_lines(), "");
  SetCtrlAttribute(run_panel(), kSaveButtonControl, kAttrVisible, 1);
  return result;
}

}  // namespace run
