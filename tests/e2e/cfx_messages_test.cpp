// The messages a station's runs leave for the factory network, as the queue
// holds them with the broker out of reach: a green, a red and an interrupted
// run, each message in order and each envelope checked field by field
// against what a receiver built on the standard's SDK reads.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include "cfx/queue.h"
#include "records/sqlite_store.h"
#include "support/e2e_support.h"

namespace stdfs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

constexpr const char* kHandle = "Acme.Loader.T1";

std::vector<std::string> keys(const Json& object) {
  std::vector<std::string> out;
  for (auto it = object.begin(); it != object.end(); ++it) out.push_back(it.key());
  return out;
}

using Keys = std::vector<std::string>;

const Keys kUnitPosition = {"UnitIdentifier", "PositionNumber", "PositionName", "X",     "Y",
                            "Rotation",       "FlipX",          "FlipY",        "Status"};
const Keys kOperator = {"OperatorIdentifier", "ActorType", "LastName", "FirstName", "LoginName"};

// The body's fields after "$type", in the order the standard declares them.
Keys body_keys(const std::string& name) {
  static const std::map<std::string, Keys> table = {
      {"CFX.Production.WorkStarted",
       {"PrimaryIdentifier", "HermesIdentifier", "TransactionID", "Lane", "UnitCount", "Units",
        "RecipeName", "Revision", "RelevantSurface", "WorkOrderIdentifier"}},
      {"CFX.Production.WorkCompleted",
       {"TransactionID", "Result", "PrimaryIdentifier", "HermesIdentifier", "UnitCount", "Units",
        "PerformanceImpacts"}},
      {"CFX.Production.TestAndInspection.UnitsTested",
       {"TransactionId", "TestMethod", "Tester", "RecipeName", "RecipeRevision",
        "SamplingInformation", "TestedUnits"}},
      {"CFX.Production.Assembly.UnitsPersonalized", {"TransactionId", "PersonalizedUnits"}},
      {"CFX.ResourcePerformance.StationStateChanged",
       {"OldState", "OldStateDuration", "NewState", "RelatedFault", "Lane"}},
      {"CFX.Production.OperatorActivated", {"Operator"}},
      {"CFX.Production.OperatorDeactivated", {"Operator"}},
      {"CFX.ResourcePerformance.FaultOccurred", {"Fault"}},
      {"CFX.ResourcePerformance.FaultCleared", {"FaultOccurrenceId", "Operator"}},
  };
  return table.at(name);
}

const std::regex kGuid("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
const std::regex kTime(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)");

// Every envelope's frame, and every body's fields by name and order.
void check_envelope(const Json& j, const std::string& name) {
  SCOPED_TRACE(name);
  EXPECT_EQ(keys(j), (Keys{"MessageName", "Version", "TimeStamp", "UniqueID", "Source", "Target",
                           "RequestID", "MessageBody"}));
  EXPECT_EQ(j["MessageName"], name);
  EXPECT_EQ(j["Version"], "2.1");
  EXPECT_TRUE(std::regex_match(j["TimeStamp"].get<std::string>(), kTime)) << j["TimeStamp"];
  EXPECT_TRUE(std::regex_match(j["UniqueID"].get<std::string>(), kGuid)) << j["UniqueID"];
  EXPECT_EQ(j["Source"], kHandle);
  EXPECT_TRUE(j["Target"].is_null());
  EXPECT_TRUE(j["RequestID"].is_null());
  const Json& body = j["MessageBody"];
  Keys expected = {"$type"};
  const Keys rest = body_keys(name);
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(keys(body), expected);
  EXPECT_EQ(body["$type"], name + ", CFX");
}

void check_units(const Json& units, const std::optional<std::string>& serial) {
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(keys(units[0]), kUnitPosition);
  if (serial) {
    EXPECT_EQ(units[0]["UnitIdentifier"], *serial);
  } else {
    EXPECT_TRUE(units[0]["UnitIdentifier"].is_null());
  }
  EXPECT_EQ(units[0]["PositionNumber"], 3);
  EXPECT_EQ(units[0]["PositionName"], "COM3");
}

struct Message {
  std::string name;
  Json json;
};

class CfxMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/ffsload-e2e-cfx-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    station = name;
    e2e::copy_example_station(station.string());
  }
  void TearDown() override { stdfs::remove_all(station); }

  void write(const std::string& file, const std::string& text) {
    std::ofstream(station / file, std::ios::binary) << text;
  }
  // Nothing listens on port 1 of this machine: the broker is away.
  static std::string cfx_conf() {
    return "operator = optional\nunit-serial = optional\ncfx-broker = amqp://127.0.0.1:1/\n"
           "cfx-handle = " +
           std::string(kHandle) + "\n";
  }
  void enable_cfx() { write("ffsload.conf", cfx_conf()); }
  e2e::RunResult run(const std::string& device, const std::string& script,
                     const std::string& operator_id, const std::string& unit) {
    return e2e::run_ffsload({"run", "--port", "3", "--device", device, "--script", script,
                             "--operator", operator_id, "--unit", unit},
                            station.string());
  }
  std::vector<Message> queued() {
    std::string error;
    auto queue = cfx::Queue::open_for_reading(station.string(), &error);
    EXPECT_TRUE(queue) << error;
    std::vector<Message> out;
    if (!queue) return out;
    for (const auto& m : queue->waiting(1000)) {
      out.push_back({m.message_name, Json::parse(m.json)});
      EXPECT_EQ(m.subject, std::string(kHandle) + "." + m.message_name);
    }
    return out;
  }

  stdfs::path station;
};

std::vector<std::string> names(const std::vector<Message>& messages, std::size_t from = 0) {
  std::vector<std::string> out;
  for (std::size_t i = from; i < messages.size(); ++i) out.push_back(messages[i].name);
  return out;
}

TEST_F(CfxMessages, without_a_broker_setting_nothing_is_queued_or_created) {
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({"--load", e2e::examples_dir() + "/handset"}));
  EXPECT_EQ(run(sim.device(), "main.tms", "OP1", "SN-1").exit_code, 0);
  EXPECT_FALSE(stdfs::exists(station / cfx::kQueueFile));
  EXPECT_EQ(e2e::run_ffsload({"report"}, station.string()).err.find("CFX"), std::string::npos);
}

TEST_F(CfxMessages, a_green_a_red_and_an_interrupted_run_leave_their_messages_in_order) {
  enable_cfx();
  write("red.tms", "tms 1\nfrd IMEI IMEI\n# a comment is no test\nfwr nosuch nosuch.bin\nti\n");
  {
    e2e::SimProcess sim;
    ASSERT_TRUE(sim.start({"--load", e2e::examples_dir() + "/handset"}));
    const auto green = run(sim.device(), "main.tms", "OP1", "SN-1");
    ASSERT_EQ(green.exit_code, 0) << green.err;
    const auto red = run(sim.device(), "red.tms", "OP \"2\"", "SN-2");
    ASSERT_EQ(red.exit_code, 1) << red.err;
  }
  // The interrupted run: a handset that never answers, and the run killed
  // once its start is queued.
  {
    e2e::SimProcess silent;
    ASSERT_TRUE(silent.start({"--fault", "silent"}));
    e2e::FfsloadProcess tool;
    ASSERT_TRUE(tool.start({"run", "--port", "3", "--device", silent.device(), "--script",
                            "main.tms", "--operator", "OP \"2\"", "--unit", "SN-3"},
                           station.string()));
    bool started = false;
    for (int i = 0; i < 200 && !started; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      const auto q = queued();
      started = !q.empty() && q.back().name == "CFX.Production.WorkStarted" &&
                q.back().json["MessageBody"]["PrimaryIdentifier"] == "SN-3";
    }
    ASSERT_TRUE(started);
    tool.signal(SIGKILL);
    tool.finish();
  }
  // The next run on the port finds it and ends it for the MES.
  {
    e2e::SimProcess sim;
    ASSERT_TRUE(sim.start({"--load", e2e::examples_dir() + "/handset"}));
    const auto next = run(sim.device(), "main.tms", "OP \"2\"", "SN-4");
    ASSERT_EQ(next.exit_code, 0) << next.err;
  }

  const std::vector<Message> m = queued();
  const std::string kState = "CFX.ResourcePerformance.StationStateChanged";
  const std::string kStarted = "CFX.Production.WorkStarted";
  const std::string kTested = "CFX.Production.TestAndInspection.UnitsTested";
  const std::string kPersonalized = "CFX.Production.Assembly.UnitsPersonalized";
  const std::string kCompleted = "CFX.Production.WorkCompleted";
  const std::vector<std::string> expected = {
      // green, operator OP1
      "CFX.Production.OperatorActivated", kState, kStarted, kTested, kPersonalized, kCompleted,
      kState,
      // red, another operator
      "CFX.Production.OperatorDeactivated", "CFX.Production.OperatorActivated", kState, kStarted,
      kTested, kCompleted, kState,
      // interrupted: its start only
      kState, kStarted,
      // the next run: the interrupted one aborted, then its own
      kCompleted, kState, kState, kStarted, kTested, kPersonalized, kCompleted, kState};
  ASSERT_EQ(names(m), expected);
  for (const Message& message : m) {
    check_envelope(message.json, message.name);
    // The port's own state: another port's changes never read as this one's.
    if (message.name == kState) {
      EXPECT_EQ(message.json["MessageBody"]["Lane"], 3);
    }
  }

  // Green.
  const Json& started = m[2].json["MessageBody"];
  const std::string transaction = started["TransactionID"];
  EXPECT_TRUE(std::regex_match(transaction, kGuid));
  EXPECT_EQ(started["PrimaryIdentifier"], "SN-1");
  EXPECT_TRUE(started["HermesIdentifier"].is_null());
  EXPECT_EQ(started["Lane"], 3);
  EXPECT_EQ(started["UnitCount"], 1);
  check_units(started["Units"], "SN-1");
  EXPECT_EQ(started["RecipeName"], "main.tms");
  EXPECT_EQ(started["Revision"].get<std::string>().size(), 64u);
  EXPECT_EQ(keys(m[0].json["MessageBody"]["Operator"]), kOperator);
  EXPECT_EQ(m[0].json["MessageBody"]["Operator"]["OperatorIdentifier"], "OP1");
  EXPECT_EQ(m[0].json["MessageBody"]["Operator"]["ActorType"], "Human");
  const Json& state = m[1].json["MessageBody"];
  EXPECT_EQ(state["OldState"], "2200");
  EXPECT_TRUE(state["OldStateDuration"].is_null());
  EXPECT_EQ(state["NewState"], "1100");
  EXPECT_TRUE(state["RelatedFault"].is_null());

  const Json& tested = m[3].json["MessageBody"];
  EXPECT_EQ(tested["TransactionId"], transaction);
  EXPECT_EQ(tested["TestMethod"], "Automated");
  EXPECT_EQ(keys(tested["Tester"]), kOperator);
  EXPECT_EQ(tested["Tester"]["OperatorIdentifier"], "OP1");
  EXPECT_EQ(tested["RecipeRevision"], started["Revision"]);
  EXPECT_EQ(keys(tested["SamplingInformation"]), (Keys{"SamplingMethod", "LotSize", "SampleSize"}));
  EXPECT_EQ(tested["SamplingInformation"]["SamplingMethod"], "NoSampling");
  ASSERT_EQ(tested["TestedUnits"].size(), 1u);
  const Json& unit = tested["TestedUnits"][0];
  EXPECT_EQ(keys(unit), (Keys{"UnitIdentifier", "UnitPositionNumber", "OverallResult", "Tests"}));
  EXPECT_EQ(unit["UnitIdentifier"], "SN-1");
  EXPECT_EQ(unit["OverallResult"], "Passed");
  EXPECT_EQ(unit["Tests"].size(), 29u);  // every line of main.tms has a command
  for (const Json& t : unit["Tests"]) {
    EXPECT_EQ(keys(t), (Keys{"UniqueIdentifier", "TestName", "TestStartTime", "TestEndTime",
                             "TestConditions", "TestProcedure", "Comments", "Result", "Error",
                             "SymptomsFound", "DefectsFound", "Measurements"}));
    EXPECT_EQ(t["Result"], "Passed");
    EXPECT_TRUE(t["Error"].is_null());
    EXPECT_TRUE(std::regex_match(t["TestStartTime"].get<std::string>(), kTime));
  }
  EXPECT_EQ(unit["Tests"][0]["TestName"], "tms 1");
  EXPECT_EQ(unit["Tests"][0]["Comments"], "line 1");

  const Json& personalized = m[4].json["MessageBody"];
  EXPECT_EQ(personalized["TransactionId"], transaction);
  ASSERT_EQ(personalized["PersonalizedUnits"].size(), 1u);
  const Json& pu = personalized["PersonalizedUnits"][0];
  EXPECT_EQ(keys(pu), (Keys{"UnitIdentifier", "UnitPositionNumber", "Characteristics"}));
  EXPECT_EQ(pu["UnitIdentifier"], "SN-1");
  ASSERT_EQ(pu["Characteristics"].size(), 1u);
  EXPECT_EQ(keys(pu["Characteristics"][0]), (Keys{"Name", "Value"}));
  EXPECT_EQ(pu["Characteristics"][0]["Name"], "IMEI");
  EXPECT_TRUE(std::regex_match(pu["Characteristics"][0]["Value"].get<std::string>(),
                               std::regex("[0-9a-f]{16}")));

  const Json& completed = m[5].json["MessageBody"];
  EXPECT_EQ(completed["TransactionID"], transaction);
  EXPECT_EQ(completed["Result"], "Completed");
  check_units(completed["Units"], "SN-1");
  EXPECT_TRUE(completed["PerformanceImpacts"].is_array());
  EXPECT_EQ(m[6].json["MessageBody"]["OldState"], "1100");
  EXPECT_EQ(m[6].json["MessageBody"]["NewState"], "2200");
  EXPECT_TRUE(std::regex_match(m[6].json["MessageBody"]["OldStateDuration"].get<std::string>(),
                               std::regex(R"(\d\d:\d\d:\d\d)")));

  // Red: the operator changed, the failing line a failed test with a symptom.
  EXPECT_EQ(m[7].json["MessageBody"]["Operator"]["OperatorIdentifier"], "OP1");
  EXPECT_EQ(m[8].json["MessageBody"]["Operator"]["OperatorIdentifier"], "OP \"2\"");
  const std::string red_transaction = m[10].json["MessageBody"]["TransactionID"];
  EXPECT_NE(red_transaction, transaction);
  EXPECT_EQ(m[10].json["MessageBody"]["RecipeName"], "red.tms");
  const Json& red_unit = m[11].json["MessageBody"]["TestedUnits"][0];
  EXPECT_EQ(m[11].json["MessageBody"]["TransactionId"], red_transaction);
  EXPECT_EQ(red_unit["OverallResult"], "Failed");
  ASSERT_EQ(red_unit["Tests"].size(), 3u);  // the comment is no test; "ti" never ran
  EXPECT_EQ(red_unit["Tests"][0]["Result"], "Passed");
  EXPECT_EQ(red_unit["Tests"][1]["Result"], "Passed");
  const Json& failed = red_unit["Tests"][2];
  EXPECT_EQ(failed["Result"], "Failed");
  EXPECT_EQ(failed["TestName"], "fwr nosuch nosuch.bin");
  EXPECT_EQ(failed["Comments"], "line 4");
  EXPECT_TRUE(failed["Error"].is_string());
  ASSERT_GE(failed["SymptomsFound"].size(), 1u);
  const Json& symptom = failed["SymptomsFound"][0];
  EXPECT_EQ(keys(symptom), (Keys{"UniqueIdentifier", "SymptomCode", "SymptomCategory",
                                 "Description", "Comments", "Status", "ComponentsOfInterest",
                                 "RegionOfInterest", "Priority", "RelatedMeasurements"}));
  EXPECT_EQ(symptom["Status"], "NewlyDiscovered");
  EXPECT_NE(symptom["Description"].get<std::string>().find("line 4"), std::string::npos);
  EXPECT_EQ(m[12].json["MessageBody"]["Result"], "Failed");
  EXPECT_EQ(m[12].json["MessageBody"]["TransactionID"], red_transaction);

  // Interrupted: aborted under the transaction and unit it started with.
  const std::string cut_transaction = m[15].json["MessageBody"]["TransactionID"];
  EXPECT_EQ(m[15].json["MessageBody"]["PrimaryIdentifier"], "SN-3");
  EXPECT_EQ(m[16].json["MessageBody"]["TransactionID"], cut_transaction);
  EXPECT_EQ(m[16].json["MessageBody"]["Result"], "Aborted");
  check_units(m[16].json["MessageBody"]["Units"], "SN-3");
  EXPECT_EQ(m[17].json["MessageBody"]["NewState"], "2200");
  EXPECT_EQ(m[19].json["MessageBody"]["PrimaryIdentifier"], "SN-4");
  EXPECT_EQ(m[22].json["MessageBody"]["Result"], "Completed");

  // Every message once: no UniqueID twice.
  std::set<std::string> ids;
  for (const Message& message : m) ids.insert(message.json["UniqueID"]);
  EXPECT_EQ(ids.size(), m.size());

  // The line engineer's count.
  const auto report = e2e::run_ffsload({"report"}, station.string());
  EXPECT_NE(report.err.find("CFX: 24 message(s) waiting for the broker"), std::string::npos)
      << report.out << report.err;
}

TEST_F(CfxMessages, a_port_that_cannot_be_opened_and_a_fixture_alarm_are_faults_until_cleared) {
  enable_cfx();
  write("ffsload.conf", cfx_conf() + "fixture-alarm = 2\n");
  write("red.tms", "tms 1\nfwr nosuch nosuch.bin\n");
  EXPECT_NE(run(station.string() + "/no-such-device", "red.tms", "OP1", "SN-A").exit_code, 0);
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({"--load", e2e::examples_dir() + "/handset"}));
  EXPECT_EQ(run(sim.device(), "red.tms", "OP1", "SN-B").exit_code, 1);
  EXPECT_EQ(run(sim.device(), "main.tms", "OP1", "SN-C").exit_code, 0);

  std::vector<Json> faults;
  for (const Message& message : queued()) {
    if (message.name.find("Fault") == std::string::npos) continue;
    check_envelope(message.json, message.name);
    faults.push_back(message.json["MessageBody"]);
  }
  // The port: raised by the first run, cleared by the second. The alarm
  // (two red runs on two units): raised by the second, cleared by the green.
  ASSERT_EQ(faults.size(), 4u);
  const Json& port_fault = faults[0]["Fault"];
  EXPECT_EQ(keys(port_fault),
            (Keys{"TransactionID", "Cause", "Severity", "FaultCode", "FaultOccurrenceId", "Lane",
                  "Stage", "SideLocation", "AccessType", "Description", "DescriptionTranslations",
                  "OccurredAt", "DueDateTime"}));
  EXPECT_EQ(port_fault["Cause"], "ElectricalFailure");
  EXPECT_EQ(port_fault["Severity"], "Error");
  EXPECT_EQ(port_fault["Lane"], 3);
  EXPECT_EQ(faults[1]["FaultOccurrenceId"], port_fault["FaultOccurrenceId"]);
  EXPECT_EQ(keys(faults[1]["Operator"]), kOperator);
  const Json& alarm = faults[2]["Fault"];
  EXPECT_EQ(alarm["FaultCode"], "FIXTURE-ALARM");
  EXPECT_EQ(alarm["Severity"], "Warning");
  EXPECT_TRUE(alarm["TransactionID"].is_string());
  EXPECT_EQ(faults[3]["FaultOccurrenceId"], alarm["FaultOccurrenceId"]);
}

TEST_F(CfxMessages, a_queue_that_cannot_be_written_is_told_and_the_run_and_its_record_go_on) {
  enable_cfx();
  // A folder where the queue file should be: SQLite cannot make it.
  stdfs::create_directory(station / cfx::kQueueFile);
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({"--load", e2e::examples_dir() + "/handset"}));
  const auto r = run(sim.device(), "main.tms", "OP1", "SN-1");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("CFX: the run's start messages could not be queued"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("CFX: the run's end messages could not be queued"), std::string::npos)
      << r.err;
  // The record says so too.
  records::SqliteStore store((station / "runs.sqlite").string(), records::OpenFor::kReading);
  const auto rows = store.query("SELECT outcome, log FROM runs", {});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "green");
  EXPECT_NE(rows[0][1]->find("CFX: the run's end messages could not be queued"), std::string::npos)
      << *rows[0][1];
  EXPECT_NE(rows[0][1]->find("CFX: the run's start messages could not be queued"),
            std::string::npos);
}

}  // namespace
