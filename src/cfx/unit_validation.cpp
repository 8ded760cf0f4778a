#include "cfx/unit_validation.h"

#include <cstdlib>
#include <string_view>

#include "text/station_text.h"

namespace cfx {

namespace {

std::string text_in(const nlohmann::json& object, const char* key) {
  if (!object.is_object()) return {};
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

long number_in(const nlohmann::json& object, const char* key) {
  if (!object.is_object()) return 0;
  const auto it = object.find(key);
  if (it == object.end()) return 0;
  if (it->is_number_integer()) return it->get<long>();
  if (it->is_string()) return std::strtol(it->get<std::string>().c_str(), nullptr, 10);
  return 0;
}

std::string one_line(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace

Envelope validate_units_request(const ValidationAsk& ask, std::int64_t now_ms) {
  Envelope e;
  e.message_name = "CFX.InformationSystem.UnitValidation.ValidateUnitsRequest";
  e.unique_id = new_unique_id();
  e.time_stamp = cfx_time(now_ms);
  e.source = ask.handle;
  e.target = ask.mes_handle;
  e.request_id = "REQUEST-" + new_unique_id();
  e.body = body_of(e.message_name);
  e.body["Validations"] = {"UnitRouteValidation", "UnitStatusValidation"};
  e.body["PrimaryIdentifier"] = ask.serial;
  e.body["HermesIdentifier"] = nullptr;
  nlohmann::ordered_json unit = nlohmann::ordered_json::object();
  unit["UnitIdentifier"] = ask.serial;
  unit["PositionNumber"] = ask.port;
  unit["PositionName"] = "COM" + std::to_string(ask.port);
  unit["X"] = 0.0;
  unit["Y"] = 0.0;
  unit["Rotation"] = 0.0;
  unit["FlipX"] = false;
  unit["FlipY"] = false;
  unit["Status"] = "Active";
  e.body["Units"] = nlohmann::ordered_json::array({unit});
  e.body["Lane"] = ask.port;
  return e;
}

namespace {

std::optional<MesVerdict> verdict_of_reply(const std::string& json, const std::string& request_id) {
  auto j = nlohmann::json::parse(json, nullptr, false);
  if (!j.is_discarded() && j.is_array() && j.size() == 1) j = j[0];
  MesVerdict verdict;
  verdict.kind = MesVerdict::Kind::kRefused;
  if (j.is_discarded() || !j.is_object()) {
    verdict.message = "the MES's answer is not a CFX message";
    return verdict;
  }
  if (text_in(j, "RequestID") != request_id) return std::nullopt;
  const std::string name = text_in(j, "MessageName");
  const nlohmann::json body = j.contains("MessageBody") ? j["MessageBody"] : nlohmann::json();
  if (name == "CFX.NotSupportedResponse") {
    const auto& result = body.is_object() && body.contains("RequestResult") ? body["RequestResult"]
                                                                            : nlohmann::json();
    verdict.code = number_in(result, "ResultCode");
    verdict.message = "the MES does not support unit validation";
    if (std::string m = text_in(result, "Message"); !m.empty()) verdict.message += ": " + m;
    return verdict;
  }
  if (name != "CFX.InformationSystem.UnitValidation.ValidateUnitsResponse") {
    verdict.message = "the MES answered with " + (name.empty() ? "no message name" : name);
    return verdict;
  }
  const nlohmann::json result =
      body.is_object() && body.contains("Result") ? body["Result"] : nlohmann::json();
  const nlohmann::json primary =
      body.is_object() && body.contains("PrimaryResult") ? body["PrimaryResult"] : nlohmann::json();
  if (text_in(result, "Result") != "Success") {
    verdict.code = number_in(result, "ResultCode");
    verdict.message = text_in(result, "Message");
    if (verdict.message.empty())
      verdict.message = "the request did not succeed (" + text_in(result, "Result") + ")";
    return verdict;
  }
  if (text_in(primary, "Result") == "Passed") {
    verdict.kind = MesVerdict::Kind::kPassed;
    return verdict;
  }
  verdict.code = number_in(primary, "FailureCode");
  verdict.message = text_in(primary, "Message");
  if (verdict.message.empty()) {
    const std::string r = text_in(primary, "Result");
    verdict.message = "the unit's validation is " + (r.empty() ? std::string("missing") : r);
  }
  return verdict;
}

}  // namespace

std::optional<MesVerdict> read_validate_reply(const std::string& json,
                                              const std::string& request_id) {
  auto verdict = verdict_of_reply(json, request_id);
  // The MES's words reach the operator's terminal, the panels and the run's
  // record: an escape sequence or a bidirectional override in them is
  // written out, never acted on.
  if (verdict) verdict->message = text::shown_station_text(verdict->message);
  return verdict;
}

std::string verdict_line(const MesVerdict& v) {
  switch (v.kind) {
    case MesVerdict::Kind::kPassed:
      return "passed";
    case MesVerdict::Kind::kRefused:
      return "refused\t" + std::to_string(v.code) + "\t" + one_line(v.message);
    case MesVerdict::Kind::kNoAnswer:
      return "no-answer\t" + one_line(v.message);
    case MesVerdict::Kind::kFailed:
      break;
  }
  return "failed\t" + one_line(v.message);
}

MesVerdict parse_verdict_line(const std::string& raw) {
  std::string line = raw;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  MesVerdict v;
  const std::string kind = line.substr(0, line.find('\t'));
  if (kind == "passed") {
    v.kind = MesVerdict::Kind::kPassed;
  } else if (kind == "refused") {
    v.kind = MesVerdict::Kind::kRefused;
    const std::size_t a = line.find('\t');
    const std::size_t b = line.find('\t', a + 1);
    v.code = std::strtol(line.substr(a + 1, b - a - 1).c_str(), nullptr, 10);
    v.message = b == std::string::npos ? "" : line.substr(b + 1);
  } else if (kind == "no-answer") {
    v.kind = MesVerdict::Kind::kNoAnswer;
    v.message = line.find('\t') == std::string::npos ? "" : line.substr(line.find('\t') + 1);
  } else if (kind == "failed") {
    v.message = line.find('\t') == std::string::npos ? "" : line.substr(line.find('\t') + 1);
  } else {
    v.message =
        line.empty() ? "ffsload-cfx validate gave no answer" : "ffsload-cfx validate said: " + line;
  }
  return v;
}

}  // namespace cfx
