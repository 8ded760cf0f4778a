#include "cfx/station_messages.h"

namespace cfx {

namespace {

using Json = nlohmann::ordered_json;

Envelope envelope(const Sender& sender, const std::string& name, std::int64_t at_ms,
                  std::string unique_id) {
  Envelope e;
  e.message_name = name;
  e.unique_id = std::move(unique_id);
  e.time_stamp = cfx_time(at_ms);
  e.source = sender.handle;
  e.body = body_of(name);
  return e;
}

// A run's message: its GUID from the run's uid and the message's kind.
Envelope run_envelope(const Sender& sender, const std::string& name, std::int64_t at_ms,
                      const RunFacts& run) {
  return envelope(sender, name, at_ms, name_based_id(run.run_uid + "/" + name));
}

Json text_or_null(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json(nullptr);
}

Json units(const RunFacts& run) {
  return Json::array({unit_position(run.unit_serial, run.port)});
}

}  // namespace

Json unit_position(const std::optional<std::string>& serial, int port) {
  Json u = Json::object();
  u["UnitIdentifier"] = text_or_null(serial);
  u["PositionNumber"] = port;
  u["PositionName"] = "COM" + std::to_string(port);
  u["X"] = 0.0;
  u["Y"] = 0.0;
  u["Rotation"] = 0.0;
  u["FlipX"] = false;
  u["FlipY"] = false;
  u["Status"] = nullptr;
  return u;
}

Json operator_of(const std::string& id) {
  Json o = Json::object();
  o["OperatorIdentifier"] = id;
  o["ActorType"] = "Human";
  o["LastName"] = nullptr;
  o["FirstName"] = nullptr;
  o["LoginName"] = nullptr;
  return o;
}

std::string transaction_id(const RunFacts& run) {
  return name_based_id(run.run_uid + "/transaction");
}

Envelope work_started(const Sender& sender, const RunFacts& run) {
  Envelope e = run_envelope(sender, "CFX.Production.WorkStarted", run.started_ms, run);
  Json& b = e.body;
  b["PrimaryIdentifier"] = text_or_null(run.unit_serial);
  b["HermesIdentifier"] = nullptr;
  b["TransactionID"] = transaction_id(run);
  b["Lane"] = run.port;
  b["UnitCount"] = 1;
  b["Units"] = units(run);
  b["RecipeName"] = run.recipe_name;
  b["Revision"] = run.revision;
  b["RelevantSurface"] = "None";
  b["WorkOrderIdentifier"] = nullptr;
  return e;
}

Envelope units_tested(const Sender& sender, const RunFacts& run) {
  Envelope e =
      run_envelope(sender, "CFX.Production.TestAndInspection.UnitsTested", run.ended_ms, run);
  Json tests = Json::array();
  for (const LineRan& line : run.lines) {
    const bool failed = line.status != 0;
    const std::string test_name = run.run_uid + "/test/" + std::to_string(line.number);
    Json t = Json::object();
    t["UniqueIdentifier"] = name_based_id(test_name);
    t["TestName"] = line.text;
    t["TestStartTime"] = cfx_time(line.started_ms);
    t["TestEndTime"] = cfx_time(line.ended_ms);
    t["TestConditions"] = nullptr;
    t["TestProcedure"] = run.recipe_name;
    t["Comments"] = "line " + std::to_string(line.number);
    t["Result"] = failed ? "Failed" : "Passed";
    t["Error"] = failed ? Json("status " + std::to_string(line.status)) : Json(nullptr);
    Json symptoms = Json::array();
    if (failed) {
      Json s = Json::object();
      s["UniqueIdentifier"] = name_based_id(test_name + "/symptom");
      s["SymptomCode"] = std::to_string(line.status);
      s["SymptomCategory"] = "ScriptLineFailed";
      s["Description"] = run.failed_reason.empty()
                             ? "line " + std::to_string(line.number) + " \"" + line.text +
                                   "\" ended with status " + std::to_string(line.status)
                             : run.failed_reason;
      s["Comments"] = nullptr;
      s["Status"] = "NewlyDiscovered";
      s["ComponentsOfInterest"] = Json::array();
      s["RegionOfInterest"] = nullptr;
      s["Priority"] = 0;
      s["RelatedMeasurements"] = Json::array();
      symptoms.push_back(std::move(s));
    }
    t["SymptomsFound"] = std::move(symptoms);
    t["DefectsFound"] = Json::array();
    t["Measurements"] = Json::array();
    tests.push_back(std::move(t));
  }
  Json b_unit = Json::object();
  b_unit["UnitIdentifier"] = text_or_null(run.unit_serial);
  b_unit["UnitPositionNumber"] = run.port;
  b_unit["OverallResult"] = run.result == "Completed" ? "Passed"
                            : run.result == "Aborted" ? "Aborted"
                                                      : "Failed";
  b_unit["Tests"] = std::move(tests);
  Json& b = e.body;
  b["TransactionId"] = transaction_id(run);
  b["TestMethod"] = "Automated";
  b["Tester"] = run.operator_id ? operator_of(*run.operator_id) : Json(nullptr);
  b["RecipeName"] = run.recipe_name;
  b["RecipeRevision"] = run.revision;
  Json sampling = Json::object();
  sampling["SamplingMethod"] = "NoSampling";
  sampling["LotSize"] = 1;
  sampling["SampleSize"] = 1;
  b["SamplingInformation"] = std::move(sampling);
  b["TestedUnits"] = Json::array({std::move(b_unit)});
  return e;
}

Envelope units_personalized(const Sender& sender, const RunFacts& run) {
  Envelope e = run_envelope(sender, "CFX.Production.Assembly.UnitsPersonalized", run.ended_ms, run);
  Json characteristic = Json::object();
  characteristic["Name"] = "IMEI";
  characteristic["Value"] = run.imei_hex.value_or("");
  Json unit = Json::object();
  unit["UnitIdentifier"] = text_or_null(run.unit_serial);
  unit["UnitPositionNumber"] = run.port;
  unit["Characteristics"] = Json::array({std::move(characteristic)});
  e.body["TransactionId"] = transaction_id(run);
  e.body["PersonalizedUnits"] = Json::array({std::move(unit)});
  return e;
}

Envelope work_completed(const Sender& sender, const RunFacts& run) {
  Envelope e = run_envelope(sender, "CFX.Production.WorkCompleted", run.ended_ms, run);
  Json& b = e.body;
  b["TransactionID"] = transaction_id(run);
  b["Result"] = run.result;
  b["PrimaryIdentifier"] = text_or_null(run.unit_serial);
  b["HermesIdentifier"] = nullptr;
  b["UnitCount"] = 1;
  b["Units"] = units(run);
  b["PerformanceImpacts"] = Json::array();
  return e;
}

Envelope station_state_changed(const Sender& sender, int port, std::int64_t at_ms,
                               const std::string& old_state,
                               std::optional<std::int64_t> old_state_ms,
                               const std::string& new_state, const Json& related_fault) {
  Envelope e =
      envelope(sender, "CFX.ResourcePerformance.StationStateChanged", at_ms, new_unique_id());
  Json& b = e.body;
  b["OldState"] = old_state;
  b["OldStateDuration"] = old_state_ms ? Json(cfx_duration(*old_state_ms)) : Json(nullptr);
  b["NewState"] = new_state;
  b["RelatedFault"] = related_fault;
  b["Lane"] = port;
  return e;
}

Envelope operator_activated(const Sender& sender, std::int64_t at_ms, const std::string& id) {
  Envelope e = envelope(sender, "CFX.Production.OperatorActivated", at_ms, new_unique_id());
  e.body["Operator"] = operator_of(id);
  return e;
}

Envelope operator_deactivated(const Sender& sender, std::int64_t at_ms, const std::string& id) {
  Envelope e = envelope(sender, "CFX.Production.OperatorDeactivated", at_ms, new_unique_id());
  e.body["Operator"] = operator_of(id);
  return e;
}

Json fault_object(const FaultFacts& f, const std::string& occurrence_id) {
  Json j = Json::object();
  j["TransactionID"] = f.transaction_id ? Json(*f.transaction_id) : Json(nullptr);
  j["Cause"] = f.cause;
  j["Severity"] = f.severity;
  j["FaultCode"] = f.code;
  j["FaultOccurrenceId"] = occurrence_id;
  j["Lane"] = f.port;
  j["Stage"] = nullptr;
  j["SideLocation"] = "Unknown";
  j["AccessType"] = "Unknown";
  j["Description"] = f.description;
  j["DescriptionTranslations"] = Json::object();
  j["OccurredAt"] = cfx_time(f.occurred_ms);
  j["DueDateTime"] = nullptr;
  return j;
}

Envelope fault_occurred(const Sender& sender, const Json& fault) {
  Envelope e = envelope(sender, "CFX.ResourcePerformance.FaultOccurred", 0,
                        name_based_id(fault.value("FaultOccurrenceId", "") + "/occurred"));
  e.time_stamp = fault.value("OccurredAt", cfx_time(0));
  e.body["Fault"] = fault;
  return e;
}

Envelope fault_cleared(const Sender& sender, std::int64_t at_ms, const std::string& occurrence_id,
                       const std::optional<std::string>& operator_id) {
  Envelope e = envelope(sender, "CFX.ResourcePerformance.FaultCleared", at_ms,
                        name_based_id(occurrence_id + "/cleared"));
  e.body["FaultOccurrenceId"] = occurrence_id;
  e.body["Operator"] = operator_id ? operator_of(*operator_id) : Json(nullptr);
  return e;
}

Envelope endpoint_connected(const Sender& sender, std::int64_t at_ms,
                            const std::string& request_uri, const std::string& request_address) {
  Envelope e = envelope(sender, "CFX.EndpointConnected", at_ms, new_unique_id());
  e.body["CFXHandle"] = sender.handle;
  e.body["RequestNetworkUri"] = request_uri.empty() ? Json(nullptr) : Json(request_uri);
  e.body["RequestTargetAddress"] = request_address.empty() ? Json(nullptr) : Json(request_address);
  return e;
}

Envelope endpoint_shutting_down(const Sender& sender, std::int64_t at_ms) {
  Envelope e = envelope(sender, "CFX.EndpointShuttingDown", at_ms, new_unique_id());
  e.body["CFXHandle"] = sender.handle;
  return e;
}

Envelope heartbeat(const Sender& sender, std::int64_t at_ms, int frequency_s,
                   const Json& active_faults) {
  Envelope e = envelope(sender, "CFX.Heartbeat", at_ms, new_unique_id());
  e.body["CFXHandle"] = sender.handle;
  e.body["HeartbeatFrequency"] = cfx_duration(static_cast<std::int64_t>(frequency_s) * 1000);
  e.body["ActiveFaults"] = active_faults.is_array() ? active_faults : Json::array();
  e.body["ActiveRecipes"] = nullptr;
  return e;
}

}  // namespace cfx
