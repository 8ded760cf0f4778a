#include "run/recording.h"

#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <climits>
#include <optional>

#include "ffsload_version.h"
#include "fs/imei_guard.h"
#include "link/link.h"
#include "platform/serial_port_config.h"
#include "platform/run_panel.h"
#include "platform/user_interface.h"
#include "records/location.h"
#include "script/run_control.h"
#include "script/runner.h"
#include "station/customer_definition.h"

namespace run {

namespace {

std::string g_customer;
std::string g_ma_no;
std::string g_records_option;
// The operator hears of a records problem once, not after every run, until
// records go through again.
bool g_told = false;

std::string host_name() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "unknown";
  return name;
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

void tell_once(const std::string& text) {
  if (g_told) return;
  g_told = true;
  fs::operator_notice(text);
}

// The run under way, between start_run_record() and record_run().
struct CurrentRun {
  bool started = false;
  std::string uid;
  std::int64_t started_ms = 0;
  std::optional<std::string> imei;
  std::optional<std::string> imei_fate;
};
CurrentRun g_current;

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
  r.port = comport;
  r.device = platform::device_path_for_port(comport);
  r.customer = g_customer;
  r.script = tmsfile;
  r.ma_no = g_ma_no;
  r.tool_version = FFSLOAD_VERSION;
  return r;
}

// A copy kept while the run goes on: its journal holds the same (see keep_record).
using records::Durability;
records::KeepResult keep(records::RunRecord r, Durability durability = Durability::kFlushed);

}  // namespace

std::string start_run_record(std::int64_t started_ms) {
  g_current = CurrentRun{};
  g_current.started = true;
  g_current.started_ms = started_ms;
  records::RunRecord r = base_record(started_ms);
  g_current.uid = r.uid = records::make_uid(r.station, started_ms);
  r.outcome = "running";
  // The journal is flushed before the handset is touched: this copy need not
  // hold the ports of a station up waiting for one another's syncs.
  keep(r, Durability::kJournalled);
  return g_current.uid;
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
  keep(r, Durability::kJournalled);
}

void note_run_imei_fate(const std::string& fate) {
  if (g_current.started) g_current.imei_fate = fate;
}

void record_earlier_run(const records::RunRecord& record) {
  keep(record);
}

void set_run_context(const std::string& customer_key, const std::string& ma_no) {
  g_customer = customer_key;
  g_ma_no = ma_no;
}

const std::string& run_customer_key() {
  return g_customer;
}

const std::string& run_ma_no() {
  return g_ma_no;
}

std::string station_name() {
  return host_name();
}


void set_records_option(const std::string& option) {
  g_records_option = option;
}

std::int64_t now_utc_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

records::KeepResult record_run(std::int64_t started_ms, std::int64_t ended_ms,
                               RunOutcome run_outcome) {
  // The records keep the outcome as text, as other tools query it.
  const std::string outcome = outcome_name(run_outcome);
  records::RunRecord r = base_record(started_ms);
  r.ended_at_ms = ended_ms;
  if (g_current.started && g_current.started_ms == started_ms) {
    r.uid = g_current.uid;
    r.imei_fate = g_current.imei_fate;
  } else {
    r.uid = records::make_uid(r.station, started_ms);
  }
  g_current.started = false;
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

  return keep(std::move(r));
}

namespace {

records::KeepResult keep(records::RunRecord r, Durability durability) {
  r.revision = next_revision();
  const records::Location location = records::resolve_location(g_records_option);
  for (const std::string& warning : location.warnings) tell_once("records: " + warning);
  const std::string outbox = records::outbox_location();
  const records::KeepResult kept = records::keep_record(location.url, outbox, r,
                                                        records::kDefaultBusyTimeoutMs, durability);
  if (kept.stored) {
    if (kept.forwarded > 0) {
      fs::operator_notice("records: " + std::to_string(kept.forwarded) + " record(s) kept in " +
                          outbox + " are now stored with the others");
    }
    if (!kept.outbox_error.empty()) tell_once("records: " + kept.outbox_error);
    if (location.warnings.empty()) g_told = false;
  } else if (kept.kept_locally && kept.set_aside == 0) {
    tell_once("records: " + kept.error + "; this run's record is kept in " + outbox +
              " and sent when the records can be written again");
  }
  if (kept.set_aside > 0) {
    // Said every time: each is a record that will not reach the store alone.
    fs::operator_notice("records: " + std::to_string(kept.set_aside) +
                        " record(s) refused by the records for what they hold are set aside in " +
                        outbox + " (ffsload report counts them): " + kept.refusal);
  }
  if (!kept.stored && !kept.kept_locally) {
    tell_once("records: this run's record is lost: " + kept.error + "; " + kept.outbox_error);
  }
  return kept;
}

}  // namespace

}  // namespace run
