#include "run/cfx_events.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "cfx/digest.h"
#include "platform/run_panel.h"
#include "platform/serial_port_config.h"
#include "records/run_record.h"

namespace run {

namespace {

using Json = nlohmann::ordered_json;

std::string port_key(const char* what, int port) {
  return std::string(what) + ".port." + std::to_string(port);
}

// "1100 1796749565123": the port's state and since when.
struct PortState {
  std::string state = cfx::kStateIdle;
  std::optional<std::int64_t> since_ms;
};

PortState port_state(cfx::Queue& queue, int port) {
  PortState s;
  const auto fact = queue.fact(port_key("state", port));
  if (!fact) return s;
  const auto space = fact->find(' ');
  s.state = fact->substr(0, space);
  if (space != std::string::npos) {
    try {
      s.since_ms = std::stoll(fact->substr(space + 1));
    } catch (const std::exception&) {
    }
  }
  return s;
}

cfx::Fact state_fact(int port, const char* state, std::int64_t since_ms) {
  return {port_key("state", port), std::string(state) + " " + std::to_string(since_ms)};
}

// The state change to `state` at `at_ms`, when the port is not in it already.
void change_state(cfx::Queue& queue, const cfx::Sender& sender, int port, const char* state,
                  std::int64_t at_ms, std::vector<cfx::Envelope>* messages,
                  std::vector<cfx::Fact>* facts) {
  const PortState old = port_state(queue, port);
  if (old.state == state) return;
  std::optional<std::int64_t> duration;
  if (old.since_ms) duration = at_ms - *old.since_ms;
  messages->push_back(cfx::station_state_changed(sender, port, at_ms, old.state, duration, state));
  facts->push_back(state_fact(port, state, at_ms));
}

// The port's fault `kind` raised (FaultOccurred, kept as a fact while it is
// active) or cleared (FaultCleared), each once.
void set_fault(cfx::Queue& queue, const cfx::Sender& sender, int port, const char* kind,
               const std::optional<cfx::FaultFacts>& raised, std::int64_t at_ms,
               const std::optional<std::string>& operator_id, std::vector<cfx::Envelope>* messages,
               std::vector<cfx::Fact>* facts) {
  const std::string key = port_key("fault", port) + "." + kind;
  const auto active = queue.fact(key);
  if (raised && !active) {
    const Json fault = cfx::fault_object(*raised, cfx::new_unique_id());
    messages->push_back(cfx::fault_occurred(sender, fault));
    facts->push_back({key, fault.dump()});
  } else if (!raised && active) {
    std::string occurrence;
    try {
      occurrence = Json::parse(*active).value("FaultOccurrenceId", "");
    } catch (const Json::exception&) {
    }
    if (!occurrence.empty()) {
      messages->push_back(cfx::fault_cleared(sender, at_ms, occurrence, operator_id));
    }
    facts->push_back({key, std::nullopt});
  }
}

// Queues the messages and facts in one transaction: "" when done, else why not.
std::string queue_messages(const std::string& folder, std::unique_ptr<cfx::Queue>* held,
                           const std::vector<cfx::Envelope>& messages,
                           const std::vector<cfx::Fact>& facts) {
  std::string error;
  if (!*held) *held = cfx::Queue::open(folder, &error);
  if (!*held) return error;
  if (!(*held)->add(messages, facts, &error)) return error;
  return "";
}

// `what` is one of the catalogue's parts ("part.cfx_start", ...), so that
// the panels translate it inside the sentence.
std::string tell_not_queued(wire::RunLog& log, const char* what, const std::string& why) {
  const platform::OperatorText text{"cfx.not_queued",
                                    {platform::OperatorText{what, {}}.english(), why}};
  log.notice(text);
  return text.english();
}

// The script's bytes, for the recipe's revision: "" when it cannot be read.
std::string script_revision(const std::string& script) {
  std::ifstream in(script, std::ios::binary);
  if (!in) return "";
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return cfx::sha256_hex(bytes);
}

std::string file_name(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

cfx::RunFacts facts_of(const RunContext& context, const std::string& uid, std::int64_t started_ms,
                       const std::optional<std::string>& unit,
                       const std::optional<std::string>& operator_id, const std::string& script) {
  cfx::RunFacts f;
  f.run_uid = uid;
  f.port = context.port;
  f.unit_serial = unit;
  f.operator_id = operator_id;
  f.recipe_name = file_name(script);
  f.revision = script_revision(script);
  f.started_ms = started_ms;
  f.ended_ms = started_ms;
  return f;
}

std::optional<std::string> non_empty(const std::string& text) {
  if (text.empty()) return std::nullopt;
  return text;
}

Json text_or_null(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json(nullptr);
}

// UnitsTested (not for a run whose script could not be opened: no line
// ran), UnitsPersonalized (when it wrote an IMEI), WorkCompleted.
void add_end_messages(const cfx::Sender& sender, const cfx::RunFacts& f, bool tested,
                      std::vector<cfx::Envelope>* messages) {
  if (tested) messages->push_back(cfx::units_tested(sender, f));
  if (f.imei_hex) messages->push_back(cfx::units_personalized(sender, f));
  messages->push_back(cfx::work_completed(sender, f));
}

// What the journal keeps of a run whose end messages found no room: every
// fact they are built from but the run's uid, so that they come back as
// they would have been whatever changed since (the script, the settings).
std::string end_text(const std::string& handle, const cfx::RunFacts& f, bool tested) {
  Json j = Json::object();
  j["handle"] = handle;
  j["port"] = f.port;
  j["unit"] = text_or_null(f.unit_serial);
  j["operator"] = text_or_null(f.operator_id);
  j["recipe"] = f.recipe_name;
  j["revision"] = f.revision;
  j["started"] = f.started_ms;
  j["ended"] = f.ended_ms;
  j["result"] = f.result;
  j["reason"] = f.failed_reason;
  j["imei"] = text_or_null(f.imei_hex);
  j["tested"] = tested;
  Json lines = Json::array();
  for (const cfx::LineRan& line : f.lines) {
    lines.push_back(
        Json::array({line.number, line.status, line.started_ms, line.ended_ms, line.text}));
  }
  j["lines"] = std::move(lines);
  return j.dump();
}

struct KeptEnd {
  std::string handle;
  cfx::RunFacts facts;
  bool tested = false;
};

std::optional<std::string> optional_text(const Json& j) {
  if (j.is_null()) return std::nullopt;
  return j.get<std::string>();
}

std::optional<KeptEnd> kept_end(const std::string& uid, const std::string& text) {
  try {
    const Json j = Json::parse(text);
    KeptEnd kept;
    kept.handle = j.at("handle").get<std::string>();
    cfx::RunFacts& f = kept.facts;
    f.run_uid = uid;
    f.port = j.at("port").get<int>();
    f.unit_serial = optional_text(j.at("unit"));
    f.operator_id = optional_text(j.at("operator"));
    f.recipe_name = j.at("recipe").get<std::string>();
    f.revision = j.at("revision").get<std::string>();
    f.started_ms = j.at("started").get<std::int64_t>();
    f.ended_ms = j.at("ended").get<std::int64_t>();
    f.result = j.at("result").get<std::string>();
    f.failed_reason = j.at("reason").get<std::string>();
    f.imei_hex = optional_text(j.at("imei"));
    kept.tested = j.at("tested").get<bool>();
    for (const Json& line : j.at("lines")) {
      f.lines.push_back({line.at(0).get<int>(), line.at(4).get<std::string>(),
                         line.at(1).get<int>(), line.at(2).get<std::int64_t>(),
                         line.at(3).get<std::int64_t>()});
    }
    if (kept.handle.empty()) return std::nullopt;
    return kept;
  } catch (const Json::exception&) {
    return std::nullopt;
  }
}

}  // namespace

void CfxRun::started(const std::string& uid, std::int64_t started_ms,
                     const std::string& port_problem) {
  const RunContext& context = context_;
  wire::RunLog& log = log_;
  active_ = false;
  facts_ = cfx::RunFacts{};
  queue_.reset();
  start_failure_.clear();
  unqueued_.reset();
  if (!context.cfx.enabled) return;
  active_ = true;
  folder_ = context.station_folder;
  facts_ =
      facts_of(context, uid, started_ms, context.unit_serial, context.operator_id, context.script);
  const cfx::Sender sender{context.cfx.handle};
  const int port = context.port;
  std::string error;
  queue_ = cfx::Queue::open(folder_, &error);
  if (!queue_) {
    start_failure_ = tell_not_queued(log, "part.cfx_start", error);
    return;
  }
  cfx::Queue& queue = *queue_;
  std::vector<cfx::Envelope> messages;
  std::vector<cfx::Fact> facts;
  std::optional<cfx::FaultFacts> open_fault;
  if (!port_problem.empty()) {
    cfx::FaultFacts f;
    f.cause = "ElectricalFailure";
    f.severity = "Error";
    f.code = "PORT-NOT-OPENED";
    f.description = "port " + std::to_string(port) + " (" + platform::device_path_for_port(port) +
                    ") cannot be opened: " + port_problem;
    f.port = port;
    f.occurred_ms = started_ms;
    open_fault = f;
  }
  set_fault(queue, sender, port, "open", open_fault, started_ms, context.operator_id, &messages,
            &facts);
  if (context.operator_id) {
    const std::string key = port_key("operator", port);
    const auto last = queue.fact(key);
    if (last != context.operator_id) {
      if (last) messages.push_back(cfx::operator_deactivated(sender, started_ms, *last));
      messages.push_back(cfx::operator_activated(sender, started_ms, *context.operator_id));
      facts.push_back({key, *context.operator_id});
    }
  }
  change_state(queue, sender, port, cfx::kStateRunning, started_ms, &messages, &facts);
  messages.push_back(cfx::work_started(sender, facts_));
  if (std::string why = queue_messages(folder_, &queue_, messages, facts); !why.empty()) {
    start_failure_ = tell_not_queued(log, "part.cfx_start", why);
  }
}

void CfxRun::imei_written(const std::vector<std::uint8_t>& imei) {
  if (!active_) return;
  facts_.imei_hex = records::hex_bytes(std::string(imei.begin(), imei.end()));
}

std::string CfxRun::ended(const std::string& uid, std::int64_t ended_ms, script::RunOutcome outcome,
                          const script::RunEnd& end,
                          const std::optional<records::FixtureAlarm>& alarm) {
  const RunContext& context = context_;
  wire::RunLog& log = log_;
  const bool ours = active_ && facts_.run_uid == uid;
  active_ = false;
  if (!ours) {
    queue_.reset();
    unqueued_.reset();
    return "";
  }
  const cfx::Sender sender{context.cfx.handle};
  cfx::RunFacts& f = facts_;
  const int port = f.port;
  f.ended_ms = ended_ms;
  std::vector<cfx::Envelope> messages;
  std::vector<cfx::Fact> facts;
  const bool tested = outcome != script::RunOutcome::kNoRun;
  if (!tested) {
    f.result = "Failed";  // the script could not be opened: no line ran
  } else {
    for (const script::LineRan& line : end.lines) {
      f.lines.push_back({line.number, line.text, line.status, line.started_ms, line.ended_ms});
    }
    f.result = outcome == script::RunOutcome::kGreen ? "Completed"
               : end.stopped                         ? "Aborted"
                                                     : "Failed";
    if (f.result == "Failed" && !f.lines.empty() && f.lines.back().status != 0) {
      const cfx::LineRan& line = f.lines.back();
      f.failed_reason = "line " + std::to_string(line.number) + " \"" + line.text +
                        "\" ended with status " + std::to_string(line.status);
    }
  }
  add_end_messages(sender, f, tested, &messages);
  std::string result;
  std::string error;
  if (!queue_) queue_ = cfx::Queue::open(folder_, &error);
  if (queue_) {
    cfx::Queue& queue = *queue_;
    if (alarm) {
      std::optional<cfx::FaultFacts> raised;
      if (alarm->raised) {
        cfx::FaultFacts fault;
        fault.cause = "QualityCheck";
        fault.severity = "Warning";
        fault.code = "FIXTURE-ALARM";
        fault.description = "fixture alarm on port " + std::to_string(port) + ": " +
                            std::to_string(alarm->red_runs) +
                            " red runs in a row on different units";
        fault.port = port;
        fault.occurred_ms = ended_ms;
        fault.transaction_id = cfx::transaction_id(f);
        raised = fault;
      }
      set_fault(queue, sender, port, "fixture", raised, ended_ms, f.operator_id, &messages, &facts);
    }
    change_state(queue, sender, port, cfx::kStateIdle, ended_ms, &messages, &facts);
    error = queue_messages(folder_, &queue_, messages, facts);
  }
  if (!error.empty()) {
    result = tell_not_queued(log, "part.cfx_end", error);
    unqueued_ = end_text(sender.handle, f, tested);
  }
  if (!start_failure_.empty()) {
    result = start_failure_ + (result.empty() ? "" : "\n" + result);
  }
  // No connection between runs.
  facts_ = cfx::RunFacts{};
  queue_.reset();
  folder_.clear();
  start_failure_.clear();
  return result;
}

std::optional<std::string> CfxRun::take_unqueued_end() {
  std::optional<std::string> kept = std::move(unqueued_);
  unqueued_.reset();
  return kept;
}

bool cfx_run_rebuilt(const RunContext& context, const station::JournalRun& run, wire::RunLog& log) {
  if (!context.cfx.enabled) return false;  // nobody would send them: they wait
  const std::optional<KeptEnd> kept = kept_end(run.uid, run.unqueued_end);
  if (!kept) {
    tell_not_queued(log, "part.cfx_rebuilt", "the run journal's line of them cannot be read");
    return false;
  }
  // Sent as the run would have: from the handle it had.
  const cfx::Sender sender{kept->handle};
  const cfx::RunFacts& f = kept->facts;
  std::string error;
  auto queue = cfx::Queue::open(context.station_folder, &error);
  if (queue) {
    std::vector<cfx::Envelope> messages = {cfx::work_started(sender, f)};
    add_end_messages(sender, f, kept->tested, &messages);
    std::vector<cfx::Fact> facts;
    change_state(*queue, sender, f.port, cfx::kStateIdle, f.ended_ms, &messages, &facts);
    if (queue->add(messages, facts, &error)) return true;
  }
  tell_not_queued(log, "part.cfx_rebuilt", error);
  return false;
}

void cfx_run_interrupted(const RunContext& context, const station::JournalRun& run,
                         std::int64_t noticed_ms, wire::RunLog& log) {
  if (!context.cfx.enabled) return;
  const cfx::Sender sender{context.cfx.handle};
  cfx::RunFacts f = facts_of(context, run.uid, run.started_at_ms, non_empty(run.unit_serial),
                             non_empty(run.operator_id), run.script);
  f.port = run.port;
  f.ended_ms = noticed_ms;
  f.result = "Aborted";
  std::string error;
  auto queue = cfx::Queue::open(context.station_folder, &error);
  if (queue) {
    // WorkStarted again: queued once by its UniqueID, so only where the
    // process died before it was.
    std::vector<cfx::Envelope> messages = {cfx::work_started(sender, f)};
    // The handset confirmed the IMEI it got back: the MES needs it as
    // much as after a run that ended.
    if (run.imei && run.written_back) {
      f.imei_hex = records::hex_bytes(std::string(run.imei->begin(), run.imei->end()));
      messages.push_back(cfx::units_personalized(sender, f));
    }
    messages.push_back(cfx::work_completed(sender, f));
    std::vector<cfx::Fact> facts;
    change_state(*queue, sender, run.port, cfx::kStateIdle, noticed_ms, &messages, &facts);
    if (queue->add(messages, facts, &error)) return;
  }
  tell_not_queued(log, "part.cfx_interrupted", error);
}

}  // namespace run
