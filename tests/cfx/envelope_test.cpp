#include "cfx/envelope.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>

#include "cfx/digest.h"

namespace {

cfx::Envelope heartbeat() {
  cfx::Envelope e;
  e.message_name = "CFX.Heartbeat";
  e.unique_id = "f3b2c8ec-50b7-4c63-9cb3-2ed57c01880f";
  e.time_stamp = "2026-12-08T17:06:05.123+00:00";
  e.source = "FFSLoad.ffsload.st04";
  e.body = cfx::body_of(e.message_name);
  e.body["CFXHandle"] = "FFSLoad.ffsload.st04";
  e.body["HeartbeatFrequency"] = "00:01:00";
  e.body["ActiveFaults"] = nlohmann::ordered_json::array();
  e.body["ActiveRecipes"] = nullptr;
  return e;
}

// Sets TZ for one test and puts the station's zone back after it.
class Zone {
 public:
  explicit Zone(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~Zone() {
    if (old_.empty()) {
      unsetenv("TZ");
    } else {
      setenv("TZ", old_.c_str(), 1);
    }
    tzset();
  }

 private:
  std::string old_;
};

TEST(CfxEnvelope, TheMinimalEnvelopeIsByteForByteTheStandardsExample) {
  EXPECT_EQ(
      cfx::envelope_json(heartbeat()),
      R"({"MessageName":"CFX.Heartbeat","Version":"2.1","TimeStamp":"2026-12-08T17:06:05.123+00:00",)"
      R"("UniqueID":"f3b2c8ec-50b7-4c63-9cb3-2ed57c01880f","Source":"FFSLoad.ffsload.st04","Target":null,"RequestID":null,)"
      R"("MessageBody":{"$type":"CFX.Heartbeat, CFX","CFXHandle":"FFSLoad.ffsload.st04","HeartbeatFrequency":"00:01:00","ActiveFaults":[],"ActiveRecipes":null}})");
}

TEST(CfxEnvelope, TargetAndRequestIdAreWrittenWhenSet) {
  cfx::Envelope e = heartbeat();
  e.target = "MES.line1";
  e.request_id = "REQUEST-1";
  const auto j = nlohmann::ordered_json::parse(cfx::envelope_json(e));
  EXPECT_EQ(j["Target"], "MES.line1");
  EXPECT_EQ(j["RequestID"], "REQUEST-1");
}

TEST(CfxEnvelope, HostileTextsGiveValidJsonThatReadsBackAsTheText) {
  const std::string quotes = "SN\"1\\\"; DROP\n\t\r\x01\x1f end";
  const std::string latin1 = "Jos\xe9 M\xfcller";  // Latin-1, not UTF-8
  const std::string broken = "\xc3(\xff\xfe\xed\xa0\x80";
  const std::string nul("a\0b", 3);
  cfx::Envelope e = heartbeat();
  e.source = latin1;
  e.body["Quotes"] = quotes;
  e.body["Latin1"] = latin1;
  e.body["Broken"] = broken;
  e.body["Nul"] = nul;
  e.body["Nested"] = nlohmann::ordered_json::array({{{"Name", latin1}, {latin1, "key"}}});
  const std::string text = cfx::envelope_json(e);
  for (const char c : text) {
    EXPECT_GE(static_cast<unsigned char>(c), 0x20) << "a raw control character in the JSON";
  }
  const auto j = nlohmann::json::parse(text);  // throws on invalid JSON or UTF-8
  EXPECT_EQ(j["MessageBody"]["Quotes"], quotes);
  EXPECT_EQ(j["Source"], "Jos\u00e9 M\u00fcller");
  EXPECT_EQ(j["MessageBody"]["Latin1"], "Jos\u00e9 M\u00fcller");
  EXPECT_EQ(j["MessageBody"]["Nul"],
            "a\ufffd"
            "b");
  EXPECT_EQ(j["MessageBody"]["Nested"][0]["Jos\u00e9 M\u00fcller"], "key");
  EXPECT_FALSE(j["MessageBody"]["Broken"].get<std::string>().empty());
  EXPECT_NE(text.find(R"(SN\"1\\\"; DROP\n\t\r\u0001\u001f end)"), std::string::npos) << text;
}

TEST(CfxEnvelope, BodyStartsWithItsDotNetTypeAndKeepsTheOrderFieldsWereSet) {
  auto body = cfx::body_of("CFX.Production.WorkStarted");
  body["Zeta"] = 1;
  body["Alpha"] = nullptr;
  EXPECT_EQ(body.dump(), R"({"$type":"CFX.Production.WorkStarted, CFX","Zeta":1,"Alpha":null})");
}

TEST(CfxEnvelope, RandomIdsAreVersion4LowerCaseAndDistinct) {
  const std::regex v4("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  const std::string a = cfx::new_unique_id(), b = cfx::new_unique_id();
  EXPECT_TRUE(std::regex_match(a, v4)) << a;
  EXPECT_NE(a, b);
}

TEST(CfxEnvelope, NameBasedIdsAreStableVersion5AndDifferByName) {
  const std::regex v5("[0-9a-f]{8}-[0-9a-f]{4}-5[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  const std::string a = cfx::name_based_id("run-1/WorkCompleted");
  EXPECT_TRUE(std::regex_match(a, v5)) << a;
  EXPECT_EQ(a, cfx::name_based_id("run-1/WorkCompleted"));
  EXPECT_NE(a, cfx::name_based_id("run-1/WorkStarted"));
}

TEST(CfxEnvelope, TimesCarryMillisecondsAndTheLocalOffset) {
  const std::int64_t moment = 1796749565123;  // 2026-12-08T17:06:05.123Z
  {
    Zone utc("UTC0");
    EXPECT_EQ(cfx::cfx_time(moment), "2026-12-08T17:06:05.123+00:00");
  }
  {
    Zone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(cfx::cfx_time(moment), "2026-12-08T18:06:05.123+01:00");
  }
  {
    Zone newfoundland("NST3:30");
    EXPECT_EQ(cfx::cfx_time(moment), "2026-12-08T13:36:05.123-03:30");
  }
}

TEST(CfxEnvelope, TopicsAndDurationsAreWrittenAsTheStandardsReadersExpect) {
  EXPECT_EQ(cfx::topic_of("CFX.Production.WorkStarted"), "CFX.Production");
  EXPECT_EQ(cfx::topic_of("CFX.Heartbeat"), "CFX");
  EXPECT_EQ(cfx::topic_of("CFX.Production.TestAndInspection.UnitsTested"),
            "CFX.Production.TestAndInspection");
  EXPECT_EQ(cfx::cfx_duration(60'000), "00:01:00");
  EXPECT_EQ(cfx::cfx_duration(3 * 3600'000 + 61'999), "03:01:01");
  EXPECT_EQ(cfx::cfx_duration(30LL * 3600'000), "1.06:00:00");
  EXPECT_EQ(cfx::cfx_duration(-5), "00:00:00");
}

TEST(CfxDigest, Sha256MatchesTheKnownVectors) {
  EXPECT_EQ(cfx::sha256_hex(""),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(cfx::sha256_hex("abc"),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
