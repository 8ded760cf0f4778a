// The MES's word on a unit: the request the station sends, the reading of
// the MES's answer, the line the sender program hands to the run, and what
// the run makes of it under required and advisory.
#include "cfx/unit_validation.h"

#include <gtest/gtest.h>

#include "run/mes_validation.h"

namespace {

using Kind = cfx::MesVerdict::Kind;

std::string reply(const std::string& request_id, const std::string& result,
                  const std::string& primary, int code = 0, const std::string& message = "") {
  nlohmann::json j = {
      {"MessageName", "CFX.InformationSystem.UnitValidation.ValidateUnitsResponse"},
      {"RequestID", request_id},
      {"MessageBody",
       {{"$type", "CFX.InformationSystem.UnitValidation.ValidateUnitsResponse, CFX"},
        {"Result", {{"Result", result}, {"ResultCode", 0}, {"Message", nullptr}}},
        {"PrimaryResult",
         {{"UniqueIdentifier", "SN-1"},
          {"Result", primary},
          {"FailureCode", code},
          {"Message", message}}}}}};
  return j.dump();
}

}  // namespace

TEST(UnitValidation, the_request_asks_route_and_status_for_the_unit_on_its_port) {
  cfx::ValidationAsk ask{"FFSLoad.ffsload.st4", "Mes.a.1", "SN-1", 3};
  const auto e = cfx::validate_units_request(ask, 0);
  const auto j = nlohmann::json::parse(cfx::envelope_json(e));
  EXPECT_EQ(j["MessageName"], "CFX.InformationSystem.UnitValidation.ValidateUnitsRequest");
  EXPECT_EQ(j["Target"], "Mes.a.1");
  EXPECT_EQ(j["RequestID"].get<std::string>().rfind("REQUEST-", 0), 0u);
  const auto& b = j["MessageBody"];
  EXPECT_EQ(b["Validations"],
            nlohmann::json::array({"UnitRouteValidation", "UnitStatusValidation"}));
  EXPECT_EQ(b["PrimaryIdentifier"], "SN-1");
  EXPECT_TRUE(b["HermesIdentifier"].is_null());
  EXPECT_EQ(b["Units"][0]["UnitIdentifier"], "SN-1");
  EXPECT_EQ(b["Units"][0]["PositionNumber"], 3);
  EXPECT_EQ(b["Lane"], 3);
  EXPECT_NE(cfx::validate_units_request(ask, 0).request_id, e.request_id);
}

TEST(UnitValidation, only_success_and_passed_lets_the_unit_through) {
  EXPECT_EQ(cfx::read_validate_reply(reply("R", "Success", "Passed"), "R")->kind, Kind::kPassed);
  const auto failed =
      cfx::read_validate_reply(reply("R", "Success", "Failed", 42, "wrong step"), "R");
  EXPECT_EQ(failed->kind, Kind::kRefused);
  EXPECT_EQ(failed->code, 42);
  EXPECT_EQ(failed->message, "wrong step");
  EXPECT_EQ(cfx::read_validate_reply(reply("R", "Failed", "Passed"), "R")->kind, Kind::kRefused);
  EXPECT_EQ(cfx::read_validate_reply(reply("R", "Success", "Skipped"), "R")->kind, Kind::kRefused);
  EXPECT_EQ(cfx::read_validate_reply("{}", "R"), std::nullopt) << "another request's answer";
  EXPECT_FALSE(cfx::read_validate_reply(reply("OTHER", "Success", "Passed"), "R"));
  const auto not_supported = cfx::read_validate_reply(
      R"({"MessageName":"CFX.NotSupportedResponse","RequestID":"R","MessageBody":)"
      R"({"RequestResult":{"Result":"Failed","ResultCode":7,"Message":"no"}}})",
      "R");
  EXPECT_EQ(not_supported->kind, Kind::kRefused);
  EXPECT_EQ(not_supported->code, 7);
  EXPECT_EQ(cfx::read_validate_reply("garbage", "R")->kind, Kind::kRefused);
  // The MES's words reach a terminal and the panels: an escape sequence or a
  // bidirectional override is written out, never acted on.
  const auto hostile = cfx::read_validate_reply(
      reply("R", "Success", "Failed", 42, "\x1b]0;pwned\x07step \xe2\x80\xae" "21"), "R");
  EXPECT_EQ(hostile->message, "\\u001B]0;pwned\\u0007step \\u202E21");
}

TEST(UnitValidation, the_verdict_line_carries_every_kind_and_text_whole) {
  const cfx::MesVerdict verdicts[] = {{Kind::kPassed, 0, ""},
                                      {Kind::kRefused, 42, "wrong step\tand\nmore"},
                                      {Kind::kNoAnswer, 0, "no answer within 5 s"},
                                      {Kind::kFailed, 0, "cannot reach the MES"}};
  for (const auto& v : verdicts) {
    const auto line = cfx::verdict_line(v);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const auto back = cfx::parse_verdict_line(line + "\n");
    EXPECT_EQ(back.kind, v.kind) << line;
    EXPECT_EQ(back.code, v.code) << line;
  }
  EXPECT_EQ(cfx::parse_verdict_line(cfx::verdict_line(verdicts[1])).message, "wrong step and more");
  EXPECT_EQ(cfx::parse_verdict_line("").kind, Kind::kFailed);
  EXPECT_EQ(cfx::parse_verdict_line("something else").kind, Kind::kFailed);
}

TEST(UnitValidation, required_refuses_and_advisory_goes_on_saying_why) {
  const cfx::MesVerdict refused{Kind::kRefused, 42, "wrong step"};
  auto gate = run::gate_for_verdict(refused, cfx::Validate::kRequired, "SN-1");
  EXPECT_TRUE(gate.refused);
  EXPECT_EQ(gate.text.english(), "the MES refused unit SN-1: wrong step (code 42)");
  gate = run::gate_for_verdict({Kind::kNoAnswer, 0, "the MES did not answer within 5 s"},
                               cfx::Validate::kRequired, "SN-1");
  EXPECT_TRUE(gate.refused);
  EXPECT_EQ(gate.text.english(), "the MES refused unit SN-1: the MES did not answer within 5 s");
  gate = run::gate_for_verdict(refused, cfx::Validate::kAdvisory, "SN-1");
  EXPECT_FALSE(gate.refused);
  EXPECT_NE(gate.text.english().find("did not agree to unit SN-1: wrong step (code 42)"), std::string::npos);
  gate = run::gate_for_verdict({Kind::kFailed, 0, "cannot reach"}, cfx::Validate::kAdvisory, "S");
  EXPECT_FALSE(gate.refused);
  EXPECT_NE(gate.text.english().find("did not answer about unit S"), std::string::npos);
  gate = run::gate_for_verdict({Kind::kPassed, 0, ""}, cfx::Validate::kRequired, "SN-1");
  EXPECT_FALSE(gate.refused);
  EXPECT_TRUE(gate.text.empty());
}
