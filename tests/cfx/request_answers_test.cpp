// The station's answers to the MES's requests, and the MES's lock as the
// station keeps it: what the responder sends back, whatever a requester
// sends it.
#include "cfx/request_answers.h"

#include <gtest/gtest.h>

#include "cfx/station_lock.h"
#include "support/temp_dir.h"

namespace {

cfx::EndpointFacts facts() {
  cfx::EndpointFacts f;
  f.handle = "FFSLoad.ffsload.st4";
  f.request_uri = "amqp://127.0.0.1:5673";
  f.software_version = "0.9.0";
  f.host_name = "st4";
  return f;
}

cfx::Request request(const std::string& name, const std::string& body = "{}") {
  const std::string json =
      R"({"MessageName":")" + name +
      R"(","Version":"2.1","TimeStamp":"2026-12-08T17:06:05.123+00:00",)"
      R"("UniqueID":"f3b2c8ec-50b7-4c63-9cb3-2ed57c01880f","Source":"Mes.a.1",)"
      R"("Target":"FFSLoad.ffsload.st4","RequestID":"REQUEST-1","MessageBody":)" +
      body + "}";
  std::string why;
  auto r = cfx::parse_request(json, &why);
  EXPECT_TRUE(r) << why;
  return r.value_or(cfx::Request{});
}

nlohmann::json reply_json(const cfx::Envelope& e) {
  return nlohmann::json::parse(cfx::envelope_json(e));
}

}  // namespace

TEST(RequestAnswers, each_known_request_gets_its_response_to_the_requester_with_its_id) {
  const struct {
    const char* request;
    const char* response;
  } cases[] = {
      {"CFX.AreYouThereRequest", "CFX.AreYouThereResponse"},
      {"CFX.GetEndpointInformationRequest", "CFX.GetEndpointInformationResponse"},
      {"CFX.Production.LockStationRequest", "CFX.Production.LockStationResponse"},
      {"CFX.Production.UnlockStationRequest", "CFX.Production.UnlockStationResponse"},
      {"CFX.Production.GetActiveRecipeRequest", "CFX.NotSupportedResponse"},
  };
  for (const auto& c : cases) {
    const auto e = cfx::answer_request(request(c.request), facts(), "", 0);
    const auto j = reply_json(e);
    EXPECT_EQ(j["MessageName"], c.response);
    EXPECT_EQ(j["Source"], "FFSLoad.ffsload.st4");
    EXPECT_EQ(j["Target"], "Mes.a.1");
    EXPECT_EQ(j["RequestID"], "REQUEST-1");
    EXPECT_EQ(j["MessageBody"].begin().key(), "$type");
    EXPECT_EQ(j["MessageBody"]["$type"], std::string(c.response) + ", CFX");
  }
  const auto not_supported = reply_json(
      cfx::answer_request(request("CFX.Production.GetActiveRecipeRequest"), facts(), "", 0));
  EXPECT_EQ(not_supported["MessageBody"]["RequestResult"]["Result"], "Failed");
}

TEST(RequestAnswers, endpoint_information_names_the_station_and_what_it_publishes) {
  const auto j =
      reply_json(cfx::answer_request(request("CFX.GetEndpointInformationRequest"), facts(), "", 0));
  const auto& info = j["MessageBody"]["EndpointInformation"];
  EXPECT_EQ(info["CFXHandle"], "FFSLoad.ffsload.st4");
  EXPECT_EQ(info["CFXVersion"], "2.1");
  EXPECT_EQ(info["Vendor"], "FFSLoad");
  EXPECT_EQ(info["ModelNumber"], "ffsload");
  EXPECT_EQ(info["SoftwareVersion"], "0.9.0");
  EXPECT_EQ(info["RequestNetworkUri"], "amqp://127.0.0.1:5673");
  std::vector<std::string> topics;
  for (const auto& t : info["SupportedTopics"]) {
    topics.push_back(t["TopicName"]);
    EXPECT_EQ(t["TopicSupportType"], "Publisher");
  }
  EXPECT_EQ(topics,
            (std::vector<std::string>{"CFX", "CFX.Production", "CFX.Production.TestAndInspection",
                                      "CFX.Production.Assembly", "CFX.ResourcePerformance"}));
}

TEST(RequestAnswers, a_lock_that_cannot_be_kept_is_answered_failed_with_why) {
  const auto j = reply_json(cfx::answer_request(request("CFX.Production.LockStationRequest"),
                                                facts(), "the disk is full", 0));
  EXPECT_EQ(j["MessageBody"]["Result"]["Result"], "Failed");
  EXPECT_EQ(j["MessageBody"]["Result"]["Message"], "the disk is full");
}

TEST(RequestAnswers, bad_requests_are_refused_and_hostile_texts_stay_json) {
  std::string why;
  EXPECT_FALSE(cfx::parse_request("not json", &why));
  EXPECT_FALSE(cfx::parse_request("[1,2]", &why));
  EXPECT_FALSE(cfx::parse_request(R"({"Version":"2.1"})", &why));
  // A requester's name with quotes and control characters comes back as
  // valid JSON in the reply's Target.
  cfx::Request r = request("CFX.AreYouThereRequest");
  r.source = "Mes\"\x01\n\xff";
  const std::string json = cfx::envelope_json(cfx::answer_request(r, facts(), "", 0));
  const auto j = nlohmann::json::parse(json, nullptr, false);
  ASSERT_FALSE(j.is_discarded()) << json;
}

TEST(RequestAnswers, only_the_listed_mes_is_answered_and_only_the_locker_lifts_its_lock) {
  const auto ask = [](const std::string& name, const std::string& source,
                      const std::string& target = "FFSLoad.ffsload.st4",
                      const std::string& type = "") {
    cfx::Request r = request(name, R"({"$type":")" + (type.empty() ? name : type) + R"(, CFX"})");
    r.source = source;
    r.target = target;
    return r;
  };
  const std::string lock = "CFX.Production.LockStationRequest";
  const std::string unlock = "CFX.Production.UnlockStationRequest";
  const std::string there = "CFX.AreYouThereRequest";
  cfx::Admission listed{"FFSLoad.ffsload.st4", {"MES.Line4", "MES.Line4.Spare"}, std::nullopt};
  cfx::StationLock by_line4;
  by_line4.reason = "QualityIssue";
  by_line4.locked_by = "MES.Line4";
  cfx::Admission locked = listed;
  locked.lock = by_line4;
  cfx::Admission anyone{"FFSLoad.ffsload.st4", {}, by_line4};

  // Refused, whatever is asked, from a handle not listed.
  for (const auto& name : {lock, unlock, there})
    EXPECT_NE(cfx::refusal_of(ask(name, "Evil.Laptop.1"), locked), "") << name;
  EXPECT_NE(cfx::refusal_of(ask(there, ""), listed), "");
  // Listed: answered; the lock is lifted by the one that set it, not another.
  EXPECT_EQ(cfx::refusal_of(ask(there, "MES.Line4.Spare"), listed), "");
  EXPECT_EQ(cfx::refusal_of(ask(lock, "MES.Line4"), listed), "");
  EXPECT_EQ(cfx::refusal_of(ask(unlock, "MES.Line4"), locked), "");
  EXPECT_EQ(cfx::refusal_of(ask(lock, "MES.Line4"), locked), "") << "its own lock, changed";
  EXPECT_NE(cfx::refusal_of(ask(unlock, "MES.Line4.Spare"), locked).find("locked by MES.Line4"),
            std::string::npos);
  EXPECT_NE(cfx::refusal_of(ask(lock, "MES.Line4.Spare"), locked), "") << "taken over";
  // Without a list the same holds for the lock; a lock without a handle is refused.
  EXPECT_NE(cfx::refusal_of(ask(unlock, "Evil.Laptop.1"), anyone), "");
  EXPECT_EQ(cfx::refusal_of(ask(there, "Evil.Laptop.1"), anyone), "");
  EXPECT_NE(cfx::refusal_of(ask(lock, ""), cfx::Admission{"FFSLoad.ffsload.st4", {}, {}}), "");
  // A lock whose setter is unknown (a damaged file) is lifted by a listed MES.
  cfx::Admission damaged = listed;
  damaged.lock = cfx::StationLock{"the lock file is damaged", "", "", 0};
  EXPECT_EQ(cfx::refusal_of(ask(unlock, "MES.Line4.Spare"), damaged), "");
  // Addressed to another station, or a body that is another message: refused.
  EXPECT_NE(cfx::refusal_of(ask(lock, "MES.Line4", "FFSLoad.ffsload.st5"), listed).find("st5"),
            std::string::npos);
  EXPECT_NE(cfx::refusal_of(ask(lock, "MES.Line4", "FFSLoad.ffsload.st4", "CFX.Heartbeat"), listed),
            "");
  EXPECT_NE(cfx::refusal_of(ask(unlock, "MES.Line4", "FFSLoad.ffsload.st4", lock), locked), "");
  // A request without a Target or a $type is taken as what it names.
  cfx::Request bare = ask(lock, "MES.Line4", "");
  bare.body_type.clear();
  EXPECT_EQ(cfx::refusal_of(bare, listed), "");
  // The parsed request carries what is checked.
  const cfx::Request parsed = request(lock, R"({"$type":"CFX.Heartbeat, CFX"})");
  EXPECT_EQ(parsed.target, "FFSLoad.ffsload.st4");
  EXPECT_EQ(parsed.body_type, "CFX.Heartbeat, CFX");
}

TEST(RequestAnswers, a_refused_request_is_answered_failed_and_tells_nothing_of_the_station) {
  const auto j = reply_json(cfx::refused_answer(request("CFX.GetEndpointInformationRequest"),
                                                facts(), "not listed", 0));
  EXPECT_EQ(j["MessageName"], "CFX.GetEndpointInformationResponse");
  EXPECT_EQ(j["Target"], "Mes.a.1");
  EXPECT_EQ(j["RequestID"], "REQUEST-1");
  EXPECT_EQ(j["MessageBody"]["Result"]["Result"], "Failed");
  EXPECT_EQ(j["MessageBody"]["Result"]["Message"], "not listed");
  EXPECT_FALSE(j["MessageBody"].contains("EndpointInformation")) << j.dump();
  const auto other = reply_json(cfx::refused_answer(
      request("CFX.Production.GetActiveRecipeRequest"), facts(), "not listed", 0));
  EXPECT_EQ(other["MessageBody"]["RequestResult"]["Message"], "not listed");
}

TEST(RequestAnswers, lock_reason_and_requestor_come_from_the_request) {
  const auto r = request("CFX.Production.LockStationRequest",
                         R"({"$type":"x","Lane":1,"Reason":"QualityIssue",)"
                         R"("Requestor":{"OperatorIdentifier":"jd-7","LoginName":"jd"}})");
  EXPECT_EQ(cfx::action_for(r), cfx::RequestAction::kLock);
  EXPECT_EQ(cfx::lock_reason(r), "QualityIssue");
  EXPECT_EQ(cfx::lock_requestor(r), "jd-7");
  const auto bare = request("CFX.Production.LockStationRequest");
  EXPECT_EQ(cfx::lock_reason(bare), "GeneralLock");
  EXPECT_EQ(cfx::lock_requestor(bare), "");
}

TEST(StationLock, kept_durably_read_back_and_removed) {
  testing_support::TempDir dir;
  EXPECT_FALSE(cfx::read_station_lock(dir.path()));
  cfx::StationLock lock;
  lock.reason = "PreventativeMaintenance";
  lock.requestor = "jd";
  lock.locked_by = "Mes.a.1";
  lock.locked_at_ms = 1234;
  std::string error;
  ASSERT_TRUE(cfx::write_station_lock(dir.path(), lock, &error)) << error;
  const auto read = cfx::read_station_lock(dir.path());
  ASSERT_TRUE(read);
  EXPECT_EQ(read->reason, "PreventativeMaintenance");
  EXPECT_EQ(read->requestor, "jd");
  EXPECT_EQ(read->locked_at_ms, 1234);
  EXPECT_EQ(cfx::station_lock_refusal(*read),
            "the station is locked by the MES (PreventativeMaintenance, by jd): no run until it "
            "is unlocked");
  ASSERT_TRUE(cfx::clear_station_lock(dir.path(), &error)) << error;
  EXPECT_FALSE(cfx::read_station_lock(dir.path()));
  EXPECT_TRUE(cfx::clear_station_lock(dir.path(), &error)) << "no lock is no error";
}

TEST(StationLock, the_mes_words_are_shown_with_escapes_written_out_and_its_handle_kept) {
  testing_support::TempDir dir;
  cfx::StationLock lock;
  lock.reason = "Quality\x1b[2J\xe2\x80\xaeIssue";
  lock.requestor = "jd\n";
  lock.locked_by = "MES.Line4";
  std::string error;
  ASSERT_TRUE(cfx::write_station_lock(dir.path(), lock, &error)) << error;
  const auto read = cfx::read_station_lock(dir.path());
  ASSERT_TRUE(read);
  EXPECT_EQ(cfx::station_lock_refusal(*read),
            "the station is locked by the MES (Quality\\u001B[2J\\u202EIssue, by jd\\u000A): no "
            "run until it is unlocked");
  EXPECT_EQ(read->locked_by, "MES.Line4");
}

TEST(StationLock, a_damaged_lock_file_still_locks) {
  testing_support::TempDir dir;
  testing_support::TempDir::write(cfx::kStationLockFile, "{\"Reason\":");
  const auto lock = cfx::read_station_lock(dir.path());
  ASSERT_TRUE(lock);
  EXPECT_NE(lock->reason.find("damaged"), std::string::npos) << lock->reason;
}
