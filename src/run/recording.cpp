#include "run/recording.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <filesystem>
#include <memory>
#include <optional>

#include "ffsload_version.h"
#include "platform/clock.h"
#include "platform/run_panel.h"
#include "platform/serial_port_config.h"
#include "platform/this_process.h"
#include "platform/user_interface.h"
#include "records/location.h"
#include "records/store.h"
#include "records/unit_history.h"
#include "run/cfx_events.h"
#include "script/run_control.h"

namespace run {

namespace {

std::string host_name() {
  const std::string name = platform::host_name();
  return name.empty() ? "unknown" : name;
}

std::string run_log_lines() {
  using namespace platform;
  int count = 0;
  GetNumTextBoxLines(run_panel(), kRunLogControl, &count);
  std::string text;
  for (int i = 0; i < count; ++i) {
    std::string line;
    GetTextBoxLine(run_panel(), kRunLogControl, i, &line);
    if (i) text += '\n';
    text += line;
  }
  return text;
}

// The store the records of this station are read from, or nullptr when it
// cannot be read (a new station has no file yet; a server may be away).
std::unique_ptr<records::Store> open_for_reading(const std::string& records_option) {
  const records::Location location = records::resolve_location(records_option);
  try {
    return records::open_store(location.url, records::OpenFor::kReading);
  } catch (const records::StoreError&) {
    return nullptr;
  }
}

// Progress copies wait for a pause: the journal, flushed before the handset
// is touched, already holds what they hold, and writing them before the
// format would hold every port of a station up behind the others' records.
// A run is shown running within a second of its start, whatever its
// script: the copy waits for a quiet moment, never longer.
constexpr long kFirstCopyWithinMs = 1000;

}  // namespace

Recorder::Recorder(const RunContext& context, wire::RunLog& log, wire::PauseWork* pauses)
    : context_(context), log_(log), pauses_(pauses) {}

Recorder::~Recorder() {
  if (pauses_) pauses_->forget(this);
}

void Recorder::tell_once(const platform::OperatorText& text) {
  bool& told = context_.between_runs->told_records_problem;
  if (told) return;
  told = true;
  log_.notice(text);
}

// The unit's attempt and last pass: nullopt when the records cannot say.
std::optional<records::UnitHistory> Recorder::unit_history(const std::string* serial,
                                                           const std::string* imei,
                                                           const std::string& uid) {
  const records::Location location = records::resolve_location(context_.records_option);
  std::unique_ptr<records::Store> store;
  try {
    store = records::open_store(location.url, records::OpenFor::kReading);
  } catch (const records::StoreError&) {
    // No records yet: the unit's first run. A store that is away or broken
    // cannot say.
    if (!records::is_postgres_url(location.url) && !std::filesystem::exists(location.url)) {
      return records::UnitHistory{};
    }
    return std::nullopt;
  }
  try {
    const std::string station = host_name();
    return serial ? records::unit_history_by_serial(*store, station, *serial, uid)
                  : records::unit_history_by_imei(*store, station, *imei, uid);
  } catch (const records::StoreError&) {
    return std::nullopt;
  }
}

// Each copy of a record outranks the ones before it, also within one
// millisecond, and also when a later run of the front end keeps a copy of an
// earlier run's record (its IMEI settled).
std::int64_t Recorder::next_revision() {
  std::int64_t& last = context_.between_runs->last_revision;
  using namespace std::chrono;
  const std::int64_t now =
      duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
  last = std::max(now, last + 1);
  return last;
}

records::RunRecord Recorder::base_record(std::int64_t started_ms) const {
  records::RunRecord r;
  r.started_at_ms = started_ms;
  r.ended_at_ms = started_ms;
  r.station = host_name();
  r.port = context_.port;
  r.device = platform::device_path_for_port(context_.port);
  r.customer = context_.customer_key;
  r.script = context_.script;
  r.ma_no = context_.ma_no;
  r.tool_version = FFSLOAD_VERSION;
  r.fixture = r.device;
  if (current_.started && current_.started_ms == started_ms) {
    r.unit_serial = current_.unit;
    r.operator_id = current_.operator_id;
    r.attempt = current_.attempt;
  } else {
    r.unit_serial = context_.unit_serial;
    r.operator_id = context_.operator_id;
  }
  return r;
}

void Recorder::keep_progress_copy() {
  if (!progress_copy_) return;
  records::RunRecord r = std::move(*progress_copy_);
  progress_copy_.reset();
  current_.copy_kept = true;
  // A unit known by its IMEI: its attempt is counted now, while the handset
  // formats, and not at the end, where eight ports' records meet.
  if (!r.unit_serial && r.imei && !current_.attempt) {
    if (const auto history = unit_history(nullptr, &*r.imei, r.uid)) {
      current_.attempt = history->earlier_runs + 1;
      current_.attempt_imei = r.imei;
      r.attempt = current_.attempt;
    }
  }
  if (context_.fixture_alarm_runs > 0 && (context_.notices.alarm || context_.cfx.enabled) &&
      !current_.port_runs) {
    if (auto store = open_for_reading(context_.records_option)) {
      try {
        current_.port_runs =
            records::last_port_runs(*store, host_name(), r.port,
                                    records::fixture_alarm_window(context_.fixture_alarm_runs));
      } catch (const records::StoreError&) {
        // Read again at the end.
      }
    }
  }
  // A copy kept while the run goes on: its journal holds the same.
  keep(std::move(r), records::Durability::kJournalled);
}

void Recorder::keep_in_next_pause(records::RunRecord r) {
  progress_copy_ = std::move(r);
  if (!pauses_) return;  // kept, if at all, by the run's last record
  pauses_->add(
      this, [this] { keep_progress_copy(); },
      current_.copy_kept ? wire::kNoDeadline : current_.started_clock_ms + kFirstCopyWithinMs);
}

std::string Recorder::start(std::int64_t started_ms) {
  current_ = CurrentRun{};
  current_.started = true;
  current_.started_ms = started_ms;
  current_.started_clock_ms = platform::clock();
  current_.unit = context_.unit_serial;
  current_.operator_id = context_.operator_id;
  current_.uid = records::make_uid(host_name(), started_ms);
  platform::OperatorText unit_text;
  if (const auto& unit = context_.unit_serial) {
    const auto history = unit_history(&*unit, nullptr, current_.uid);
    if (history) {
      current_.attempt = history->earlier_runs + 1;
      const std::string attempt = std::to_string(*current_.attempt);
      if (history->passed_at_ms) {
        const auto [day, time] = records::passed_before_at(*history->passed_at_ms);
        unit_text = {"unit.attempt_passed", {*unit, attempt, day, time}};
      } else {
        unit_text = {"unit.attempt", {*unit, attempt}};
      }
    } else {
      unit_text = {"unit.attempt_unknown", {*unit}};
    }
  }
  records::RunRecord r = base_record(started_ms);
  r.uid = current_.uid;
  r.outcome = "running";
  keep_in_next_pause(std::move(r));
  if (context_.notices.unit) context_.notices.unit(unit_text);
  return current_.uid;
}

RunIdentity Recorder::identity() const {
  if (!current_.started) return {};
  return {current_.unit, current_.operator_id, current_.attempt};
}

void Recorder::imei_backed_up(const std::vector<std::uint8_t>& imei, const std::string& fate) {
  if (!current_.started) return;
  current_.imei = records::hex_bytes(std::string(imei.begin(), imei.end()));
  current_.imei_fate = fate;
  records::RunRecord r = base_record(current_.started_ms);
  r.uid = current_.uid;
  r.outcome = "running";
  r.imei = current_.imei;
  r.imei_fate = current_.imei_fate;
  r.log = run_log_lines();
  keep_in_next_pause(std::move(r));
}

void Recorder::note_imei_fate(const std::string& fate) {
  if (current_.started) current_.imei_fate = fate;
}

records::KeepResult Recorder::keep_earlier(const records::RunRecord& record) {
  return keep(record);
}

std::string station_name() {
  return host_name();
}

records::FixtureAlarm read_fixture_alarm(int port, const std::string& records_option, int k) {
  if (k <= 0) return {};
  auto store = open_for_reading(records_option);
  if (!store) return {};
  try {
    return records::port_fixture_alarm(*store, host_name(), port, k);
  } catch (const records::StoreError&) {
    return {};
  }
}

std::int64_t now_utc_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

records::KeepResult Recorder::record(std::int64_t started_ms, std::int64_t ended_ms,
                                     script::RunOutcome run_outcome, const script::RunEnd& end,
                                     const std::optional<std::vector<std::uint8_t>>& imei) {
  // The records keep the outcome as text, as other tools query it.
  const std::string outcome = outcome_name(run_outcome);
  records::RunRecord r = base_record(started_ms);
  r.ended_at_ms = ended_ms;
  std::optional<std::vector<records::RunRecord>> port_runs;
  if (current_.started && current_.started_ms == started_ms) {
    r.uid = current_.uid;
    r.imei_fate = current_.imei_fate;
    port_runs = std::move(current_.port_runs);
    current_.port_runs.reset();
  } else {
    r.uid = records::make_uid(r.station, started_ms);
  }
  current_.started = false;
  // This record supersedes a progress copy that no pause came for.
  progress_copy_.reset();
  if (pauses_) pauses_->forget(this);
  r.outcome = outcome;
  r.log = run_log_lines();
  // A run that never started left the previous run's IMEI and end behind.
  if (outcome != "no run" && imei) {
    r.imei = records::hex_bytes(std::string(imei->begin(), imei->end()));
  }
  if (outcome == "red") {
    r.failed_line = end.line_number;
    r.failed_text = end.line;
    r.failed_status = end.status;
  }
  // A unit known only by its IMEI gets its attempt once the IMEI is read,
  // for the IMEI the run ended with.
  if (!r.unit_serial) r.attempt.reset();
  if (!r.unit_serial && r.imei && outcome != "no run") {
    if (current_.attempt_imei == r.imei) {
      r.attempt = current_.attempt;
    } else if (const auto history = unit_history(nullptr, &*r.imei, r.uid)) {
      r.attempt = history->earlier_runs + 1;
    }
  }

  const int port = r.port;
  std::optional<records::FixtureAlarm> alarm;
  // The factory network hears of the alarm with the run's last messages,
  // before its record is kept: a run too short for a pause reads the port's
  // runs now.
  if (context_.cfx.enabled && context_.fixture_alarm_runs > 0 && outcome != "no run" &&
      !port_runs) {
    if (auto store = open_for_reading(context_.records_option)) {
      try {
        port_runs =
            records::last_port_runs(*store, host_name(), r.port,
                                    records::fixture_alarm_window(context_.fixture_alarm_runs));
      } catch (const records::StoreError&) {
        // Unknown: the alarm's fault is neither raised nor cleared.
      }
    }
  }
  if ((context_.notices.alarm || context_.cfx.enabled) && outcome != "no run" && port_runs) {
    alarm = records::fixture_alarm_after(r, *port_runs, context_.fixture_alarm_runs);
  }
  // The run's last messages are queued before its last record is kept; one
  // that could not be says so in the record too.
  if (const std::string cfx_problem =
          cfx_ ? cfx_->ended(r.uid, ended_ms, run_outcome, end, alarm) : std::string();
      !cfx_problem.empty()) {
    log_.line(cfx_problem);
    r.log += (r.log.empty() ? "" : "\n") + cfx_problem;
  }
  records::KeepResult kept = keep(std::move(r));
  // Between runs no connection is held: the operator may be away for long.
  keeper_.close();
  if (context_.notices.alarm && outcome != "no run") {
    context_.notices.alarm(port, alarm ? *alarm
                                       : read_fixture_alarm(port, context_.records_option,
                                                            context_.fixture_alarm_runs));
  }
  return kept;
}

records::KeepResult Recorder::keep(records::RunRecord r, records::Durability durability) {
  r.revision = next_revision();
  const records::Location location = records::resolve_location(context_.records_option);
  for (const std::string& warning : location.warnings) tell_once({"records.problem", {warning}});
  const std::string outbox = records::outbox_location();
  const records::KeepResult kept =
      keeper_.keep(location.url, outbox, r, records::kDefaultBusyTimeoutMs, durability);
  if (kept.stored) {
    if (kept.forwarded > 0) {
      log_.notice({"records.forwarded", {std::to_string(kept.forwarded), outbox}});
    }
    if (!kept.outbox_error.empty()) tell_once({"records.problem", {kept.outbox_error}});
    if (location.warnings.empty()) context_.between_runs->told_records_problem = false;
  } else if (kept.kept_locally && kept.set_aside == 0) {
    tell_once({"records.kept_in_outbox", {kept.error, outbox}});
  }
  if (kept.set_aside > 0) {
    // Said every time: each is a record that will not reach the store alone.
    log_.notice({"records.set_aside", {std::to_string(kept.set_aside), outbox, kept.refusal}});
  }
  if (!kept.stored && !kept.kept_locally) {
    tell_once({"records.nowhere", {kept.error, kept.outbox_error}});
  }
  return kept;
}

const char* outcome_name(script::RunOutcome outcome) {
  switch (outcome) {
    case script::RunOutcome::kGreen:
      return "green";
    case script::RunOutcome::kRed:
      return "red";
    case script::RunOutcome::kNoRun:
      break;
  }
  return "no run";
}

records::KeepResult record_no_run(const RunContext& context) {
  wire::PanelRunLog log(context.notices.notice);
  Recorder recorder(context, log);
  const std::int64_t now = now_utc_ms();
  return recorder.record(now, now, script::RunOutcome::kNoRun);
}

records::KeepResult record_earlier_run(const records::RunRecord& record,
                                       const std::string& records_option) {
  RunContext context;
  context.records_option = records_option;
  wire::PanelRunLog log;
  return Recorder(context, log).keep_earlier(record);
}

}  // namespace run
