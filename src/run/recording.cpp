#include "run/recording.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <filesystem>
#include <memory>
#include <optional>

#include "ffsload_version.h"
#include "fs/imei_guard.h"
#include "link/link.h"
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
#include "script/runner.h"
#include "station/customer_definition.h"

namespace run {

namespace {

// The context of the run being recorded, from its start to its record.
RunContext g_context;
// The operator hears of a records problem once, not after every run, until
// records go through again.
bool g_told = false;

std::string host_name() {
  const std::string name = platform::host_name();
  return name.empty() ? "unknown" : name;
}

std::string run_log_lines() {
  using namespace platform;
  int count = 0;
  GetNumTextBoxLines(runPanel, kRunLogControl, &count);
  std::string text;
  for (int i = 0; i < count; ++i) {
    std::string line;
    GetTextBoxLine(runPanel, kRunLogControl, i, &line);
    if (i) text += '\n';
    text += line;
  }
  return text;
}

void tell_once(const platform::OperatorText& text) {
  if (g_told) return;
  g_told = true;
  fs::operator_notice(text);
}

// The run under way, between start_run_record() and record_run().
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
CurrentRun g_current;

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

// The unit's attempt and last pass: nullopt when the records cannot say.
std::optional<records::UnitHistory> unit_history(const std::string* serial, const std::string* imei,
                                                 const std::string& uid) {
  const records::Location location = records::resolve_location(g_context.records_option);
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

// Each copy of a record outranks the ones before it, also within one millisecond.
std::int64_t next_revision() {
  static std::int64_t last = 0;
  using namespace std::chrono;
  const std::int64_t now =
      duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
  last = std::max(now, last + 1);
  return last;
}

records::RunRecord base_record(std::int64_t started_ms) {
  records::RunRecord r;
  r.started_at_ms = started_ms;
  r.ended_at_ms = started_ms;
  r.station = host_name();
  r.port = g_context.port;
  r.device = platform::device_path_for_port(g_context.port);
  r.customer = g_context.customer_key;
  r.script = g_context.script;
  r.ma_no = g_context.ma_no;
  r.tool_version = FFSLOAD_VERSION;
  r.fixture = r.device;
  if (g_current.started && g_current.started_ms == started_ms) {
    r.unit_serial = g_current.unit;
    r.operator_id = g_current.operator_id;
    r.attempt = g_current.attempt;
  } else {
    r.unit_serial = g_context.unit_serial;
    r.operator_id = g_context.operator_id;
  }
  return r;
}

// A copy kept while the run goes on: its journal holds the same (see keep_record).
using records::Durability;
records::KeepResult keep(records::RunRecord r, const std::string& records_option,
                         Durability durability = Durability::kFlushed);

// The run's connection to its records, from its first copy to its last.
records::RecordKeeper g_keeper;

// The run's newest progress copy, waiting for the handset's next pause.
std::optional<records::RunRecord> g_progress_copy;

void keep_progress_copy() {
  if (!g_progress_copy) return;
  records::RunRecord r = std::move(*g_progress_copy);
  g_progress_copy.reset();
  g_current.copy_kept = true;
  // A unit known by its IMEI: its attempt is counted now, while the handset
  // formats, and not at the end, where eight ports' records meet.
  if (!r.unit_serial && r.imei && !g_current.attempt) {
    if (const auto history = unit_history(nullptr, &*r.imei, r.uid)) {
      g_current.attempt = history->earlier_runs + 1;
      g_current.attempt_imei = r.imei;
      r.attempt = g_current.attempt;
    }
  }
  if (g_context.fixture_alarm_runs > 0 && (g_context.notices.alarm || g_context.cfx.enabled) &&
      !g_current.port_runs) {
    if (auto store = open_for_reading(g_context.records_option)) {
      try {
        g_current.port_runs =
            records::last_port_runs(*store, host_name(), r.port,
                                    records::fixture_alarm_window(g_context.fixture_alarm_runs));
      } catch (const records::StoreError&) {
        // Read again at the end.
      }
    }
  }
  keep(std::move(r), g_context.records_option, Durability::kJournalled);
}

// Progress copies wait for a pause: the journal, flushed before the handset
// is touched, already holds what they hold, and writing them before the
// format would hold every port of a station up behind the others' records.
// A run is shown running within a second of its start, whatever its
// script: the copy waits for a quiet moment, never longer.
constexpr long kFirstCopyWithinMs = 1000;

void keep_in_next_pause(records::RunRecord r) {
  g_progress_copy = std::move(r);
  platform::do_in_next_pause(keep_progress_copy,
                             g_current.copy_kept ? platform::kNoDeadline
                                                 : g_current.started_clock_ms + kFirstCopyWithinMs);
}

}  // namespace

std::string start_run_record(const RunContext& context, std::int64_t started_ms) {
  g_context = context;
  g_current = CurrentRun{};
  g_current.started = true;
  g_current.started_ms = started_ms;
  g_current.started_clock_ms = platform::clock();
  g_current.unit = g_context.unit_serial;
  g_current.operator_id = g_context.operator_id;
  g_current.uid = records::make_uid(host_name(), started_ms);
  platform::OperatorText unit_text;
  if (const auto& unit = g_context.unit_serial) {
    const auto history = unit_history(&*unit, nullptr, g_current.uid);
    if (history) {
      g_current.attempt = history->earlier_runs + 1;
      const std::string attempt = std::to_string(*g_current.attempt);
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
  r.uid = g_current.uid;
  r.outcome = "running";
  keep_in_next_pause(std::move(r));
  if (g_context.notices.unit) g_context.notices.unit(unit_text);
  return g_current.uid;
}

RunIdentity current_run_identity() {
  if (!g_current.started) return {};
  return {g_current.unit, g_current.operator_id, g_current.attempt};
}

void record_run_imei(const std::vector<std::uint8_t>& imei, const std::string& fate) {
  if (!g_current.started) return;
  g_current.imei = records::hex_bytes(std::string(imei.begin(), imei.end()));
  g_current.imei_fate = fate;
  records::RunRecord r = base_record(g_current.started_ms);
  r.uid = g_current.uid;
  r.outcome = "running";
  r.imei = g_current.imei;
  r.imei_fate = g_current.imei_fate;
  r.log = run_log_lines();
  keep_in_next_pause(std::move(r));
}

void note_run_imei_fate(const std::string& fate) {
  if (g_current.started) g_current.imei_fate = fate;
}

records::KeepResult record_earlier_run(const records::RunRecord& record,
                                       const std::string& records_option) {
  return keep(record, records_option);
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

records::KeepResult record_run(const RunContext& context, std::int64_t started_ms,
                               std::int64_t ended_ms, RunOutcome run_outcome) {
  g_context = context;
  // The records keep the outcome as text, as other tools query it.
  const std::string outcome = outcome_name(run_outcome);
  records::RunRecord r = base_record(started_ms);
  r.ended_at_ms = ended_ms;
  std::optional<std::vector<records::RunRecord>> port_runs;
  if (g_current.started && g_current.started_ms == started_ms) {
    r.uid = g_current.uid;
    r.imei_fate = g_current.imei_fate;
    port_runs = std::move(g_current.port_runs);
    g_current.port_runs.reset();
  } else {
    r.uid = records::make_uid(r.station, started_ms);
  }
  g_current.started = false;
  // This record supersedes a progress copy that no pause came for.
  g_progress_copy.reset();
  r.outcome = outcome;
  r.log = run_log_lines();
  // A run that never started left the previous run's IMEI and end behind.
  if (outcome != "no run") {
    if (const auto& imei = fs::imei_read_back()) {
      r.imei = records::hex_bytes(std::string(imei->begin(), imei->end()));
    }
  }
  if (outcome == "red") {
    const script::RunEnd& end = script::last_run_end();
    r.failed_line = end.line_number;
    r.failed_text = end.line;
    r.failed_status = end.status;
  }
  // A unit known only by its IMEI gets its attempt once the IMEI is read,
  // for the IMEI the run ended with.
  if (!r.unit_serial) r.attempt.reset();
  if (!r.unit_serial && r.imei && outcome != "no run") {
    if (g_current.attempt_imei == r.imei) {
      r.attempt = g_current.attempt;
    } else if (const auto history = unit_history(nullptr, &*r.imei, r.uid)) {
      r.attempt = history->earlier_runs + 1;
    }
  }

  const int port = r.port;
  std::optional<records::FixtureAlarm> alarm;
  // The factory network hears of the alarm with the run's last messages,
  // before its record is kept: a run too short for a pause reads the port's
  // runs now.
  if (g_context.cfx.enabled && g_context.fixture_alarm_runs > 0 && outcome != "no run" &&
      !port_runs) {
    if (auto store = open_for_reading(g_context.records_option)) {
      try {
        port_runs =
            records::last_port_runs(*store, host_name(), r.port,
                                    records::fixture_alarm_window(g_context.fixture_alarm_runs));
      } catch (const records::StoreError&) {
        // Unknown: the alarm's fault is neither raised nor cleared.
      }
    }
  }
  if ((g_context.notices.alarm || g_context.cfx.enabled) && outcome != "no run" && port_runs) {
    alarm = records::fixture_alarm_after(r, *port_runs, g_context.fixture_alarm_runs);
  }
  // The run's last messages are queued before its last record is kept; one
  // that could not be says so in the record too.
  if (const std::string cfx_problem =
          cfx_run_ended(g_context, r.uid, ended_ms, run_outcome, script::last_run_end(), alarm);
      !cfx_problem.empty()) {
    platform::append_run_log_line(cfx_problem.c_str());
    r.log += (r.log.empty() ? "" : "\n") + cfx_problem;
  }
  records::KeepResult kept = keep(std::move(r), g_context.records_option);
  // Between runs no connection is held: the operator may be away for long.
  g_keeper.close();
  if (g_context.notices.alarm && outcome != "no run") {
    g_context.notices.alarm(port, alarm ? *alarm
                                        : read_fixture_alarm(port, g_context.records_option,
                                                             g_context.fixture_alarm_runs));
  }
  return kept;
}

namespace {

records::KeepResult keep(records::RunRecord r, const std::string& records_option,
                         Durability durability) {
  r.revision = next_revision();
  const records::Location location = records::resolve_location(records_option);
  for (const std::string& warning : location.warnings) tell_once({"records.problem", {warning}});
  const std::string outbox = records::outbox_location();
  const records::KeepResult kept =
      g_keeper.keep(location.url, outbox, r, records::kDefaultBusyTimeoutMs, durability);
  if (kept.stored) {
    if (kept.forwarded > 0) {
      fs::operator_notice({"records.forwarded", {std::to_string(kept.forwarded), outbox}});
    }
    if (!kept.outbox_error.empty()) tell_once({"records.problem", {kept.outbox_error}});
    if (location.warnings.empty()) g_told = false;
  } else if (kept.kept_locally && kept.set_aside == 0) {
    tell_once({"records.kept_in_outbox", {kept.error, outbox}});
  }
  if (kept.set_aside > 0) {
    // Said every time: each is a record that will not reach the store alone.
    fs::operator_notice(
        {"records.set_aside", {std::to_string(kept.set_aside), outbox, kept.refusal}});
  }
  if (!kept.stored && !kept.kept_locally) {
    tell_once({"records.nowhere", {kept.error, kept.outbox_error}});
  }
  return kept;
}

}  // namespace

}  // namespace run
