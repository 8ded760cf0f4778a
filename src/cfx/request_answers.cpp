#include "cfx/request_answers.h"

#include <algorithm>
#include <array>
#include <utility>

namespace cfx {

namespace {

Envelope message(const EndpointFacts& facts, const std::string& name, std::int64_t now_ms) {
  Envelope e;
  e.message_name = name;
  e.unique_id = new_unique_id();
  e.time_stamp = cfx_time(now_ms);
  e.source = facts.handle;
  e.body = body_of(name);
  return e;
}

nlohmann::ordered_json text_or_null(const std::string& text) {
  if (text.empty()) return nullptr;
  return text;
}

nlohmann::ordered_json request_result(const std::string& failure) {
  nlohmann::ordered_json r = nlohmann::ordered_json::object();
  r["Result"] = failure.empty() ? "Success" : "Failed";
  r["ResultCode"] = failure.empty() ? 0 : 1;
  r["Message"] = text_or_null(failure);
  return r;
}

struct Topic {
  const char* name;
  std::vector<const char*> messages;
};

const std::array<Topic, 5>& topics() {
  static const std::array<Topic, 5> kTopics = {{
      {"CFX", {"EndpointConnected", "EndpointShuttingDown", "Heartbeat"}},
      {"CFX.Production",
       {"OperatorActivated", "OperatorDeactivated", "WorkStarted", "WorkCompleted"}},
      {"CFX.Production.TestAndInspection", {"UnitsTested"}},
      {"CFX.Production.Assembly", {"UnitsPersonalized"}},
      {"CFX.ResourcePerformance", {"StationStateChanged", "FaultOccurred", "FaultCleared"}},
  }};
  return kTopics;
}

std::string text_in(const nlohmann::json& object, const char* key) {
  if (!object.is_object()) return {};
  const auto it = object.find(key);
  if (it == object.end()) return {};
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number_integer()) return std::to_string(it->get<long long>());
  return {};
}

}  // namespace

nlohmann::ordered_json supported_topics() {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const Topic& topic : topics()) {
    nlohmann::ordered_json t = nlohmann::ordered_json::object();
    t["TopicName"] = topic.name;
    t["TopicSupportType"] = "Publisher";
    t["SupportedMessages"] = nlohmann::ordered_json::array();
    for (const char* m : topic.messages) t["SupportedMessages"].push_back(std::string(m));
    list.push_back(std::move(t));
  }
  return list;
}

std::optional<Request> parse_request(const std::string& json, std::string* why) {
  const auto j = nlohmann::json::parse(json, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    *why = "not a JSON object";
    return std::nullopt;
  }
  // A receiver must also take an array of envelopes; a request is one.
  const nlohmann::json& e = j;
  Request r;
  r.message_name = text_in(e, "MessageName");
  if (r.message_name.empty()) {
    *why = "no MessageName";
    return std::nullopt;
  }
  r.source = text_in(e, "Source");
  r.target = text_in(e, "Target");
  r.request_id = text_in(e, "RequestID");
  if (const auto it = e.find("MessageBody"); it != e.end()) r.body = *it;
  r.body_type = text_in(r.body, "$type");
  return r;
}

std::string refusal_of(const Request& request, const Admission& admission) {
  const auto& allowed = admission.mes_handles;
  if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), request.source) == allowed.end())
    return "this station answers only the MES handles named in its cfx-mes-handles";
  if (!request.target.empty() && request.target != admission.station_handle)
    return "the request is addressed to " + request.target + ", not to this station";
  if (!request.body_type.empty()) {
    // "CFX.Production.LockStationRequest, CFX": the type name before the
    // assembly's.
    std::string type = request.body_type.substr(0, request.body_type.find(','));
    while (!type.empty() && type.back() == ' ') type.pop_back();
    if (type != request.message_name)
      return "the body's $type " + request.body_type + " is not " + request.message_name;
  }
  const RequestAction action = action_for(request);
  if (action == RequestAction::kNone) return "";
  if (request.source.empty()) return "a lock or unlock needs the requester's handle in Source";
  const auto& lock = admission.lock;
  if (lock && !lock->locked_by.empty() && lock->locked_by != request.source) {
    return "the station is locked by " + lock->locked_by + ": only it can " +
           (action == RequestAction::kLock ? "change its lock" : "unlock the station");
  }
  return "";
}

Envelope refused_answer(const Request& request, const EndpointFacts& facts, const std::string& why,
                        std::int64_t now_ms) {
  Envelope e = answer_request(request, facts, why, now_ms);
  // Only the verdict: a requester the station refuses learns nothing of it.
  e.body = body_of(e.message_name);
  e.body[e.message_name == "CFX.NotSupportedResponse" ? "RequestResult" : "Result"] =
      request_result(why);
  return e;
}

RequestAction action_for(const Request& request) {
  if (request.message_name == "CFX.Production.LockStationRequest") return RequestAction::kLock;
  if (request.message_name == "CFX.Production.UnlockStationRequest") return RequestAction::kUnlock;
  return RequestAction::kNone;
}

std::string lock_reason(const Request& request) {
  const std::string reason = text_in(request.body, "Reason");
  return reason.empty() ? "GeneralLock" : reason;
}

std::string lock_requestor(const Request& request) {
  if (!request.body.is_object()) return {};
  const auto it = request.body.find("Requestor");
  if (it == request.body.end() || !it->is_object()) return {};
  for (const char* key : {"OperatorIdentifier", "LoginName", "LastName"}) {
    if (std::string text = text_in(*it, key); !text.empty()) return text;
  }
  return {};
}

Envelope answer_request(const Request& request, const EndpointFacts& facts,
                        const std::string& failure, std::int64_t now_ms) {
  const std::string& name = request.message_name;
  std::string reply_name = "CFX.NotSupportedResponse";
  if (name == "CFX.AreYouThereRequest") reply_name = "CFX.AreYouThereResponse";
  if (name == "CFX.GetEndpointInformationRequest")
    reply_name = "CFX.GetEndpointInformationResponse";
  if (name == "CFX.Production.LockStationRequest")
    reply_name = "CFX.Production.LockStationResponse";
  if (name == "CFX.Production.UnlockStationRequest")
    reply_name = "CFX.Production.UnlockStationResponse";
  Envelope e = message(facts, reply_name, now_ms);
  e.target = request.source.empty() ? std::nullopt : std::optional<std::string>(request.source);
  e.request_id =
      request.request_id.empty() ? std::nullopt : std::optional<std::string>(request.request_id);
  if (reply_name == "CFX.NotSupportedResponse") {
    nlohmann::ordered_json result = request_result("");
    result["Result"] = "Failed";
    result["ResultCode"] = 0;
    result["Message"] = "This station does not support " + name;
    e.body["RequestResult"] = result;
    return e;
  }
  e.body["Result"] = request_result(failure);
  if (reply_name == "CFX.AreYouThereResponse") {
    e.body["CFXHandle"] = facts.handle;
    e.body["RequestNetworkUri"] = text_or_null(facts.request_uri);
    e.body["RequestTargetAddress"] = facts.handle;
  } else if (reply_name == "CFX.GetEndpointInformationResponse") {
    nlohmann::ordered_json info = nlohmann::ordered_json::object();
    info["CFXHandle"] = facts.handle;
    info["CFXVersion"] = kCfxVersion;
    info["RequestNetworkUri"] = text_or_null(facts.request_uri);
    info["RequestTargetAddress"] = facts.handle;
    info["FriendlyName"] = "ffsload station " + facts.host_name;
    info["Vendor"] = "FFSLoad";
    info["ModelNumber"] = "ffsload";
    info["SerialNumber"] = facts.host_name;
    info["SoftwareVersion"] = facts.software_version;
    info["OperatingSystem"] = "Linux";
    info["NumberOfLanes"] = facts.lanes;
    info["SupportedTopics"] = supported_topics();
    e.body["EndpointInformation"] = info;
  }
  return e;
}

}  // namespace cfx
