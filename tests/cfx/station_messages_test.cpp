#include "cfx/station_messages.h"

#include <gtest/gtest.h>

#include "cfx/endpoint_events.h"
#include "cfx/queue.h"
#include "support/temp_dir.h"

namespace {

cfx::RunFacts facts() {
  cfx::RunFacts f;
  f.run_uid = "st04-1796749565123-42";
  f.port = 3;
  f.unit_serial = "SN-1";
  f.operator_id = "OP1";
  f.recipe_name = "main.tms";
  f.revision = std::string(64, 'a');
  f.started_ms = 1796749565123;
  f.ended_ms = 1796749567123;
  f.lines = {{1, "tms 1", 0, 1796749565200, 1796749565210},
             {2, "fwr nosuch nosuch.bin", -3, 1796749565210, 1796749565220}};
  f.result = "Failed";
  return f;
}

const cfx::Sender kSender{"Acme.Loader.T1"};

TEST(CfxStationMessages, ARunsMessagesBuiltAgainAreTheSameMessages) {
  // After a crash the run's messages are built again from the journal: the
  // queue must recognise them by their UniqueIDs and the MES by the transaction.
  const auto f = facts();
  EXPECT_EQ(cfx::work_started(kSender, f).unique_id, cfx::work_started(kSender, f).unique_id);
  EXPECT_EQ(cfx::work_completed(kSender, f).unique_id, cfx::work_completed(kSender, f).unique_id);
  EXPECT_NE(cfx::work_started(kSender, f).unique_id, cfx::work_completed(kSender, f).unique_id);
  auto other = f;
  other.run_uid = "st04-1796749565999-43";
  EXPECT_NE(cfx::transaction_id(f), cfx::transaction_id(other));
  EXPECT_EQ(cfx::work_started(kSender, f).body["TransactionID"],
            cfx::units_tested(kSender, f).body["TransactionId"]);
}

TEST(CfxStationMessages, EachPortsStateChangeNamesItsLane) {
  // Port 3 goes idle while port 4 still runs: two changes, never one
  // station that is both.
  const auto idle = cfx::station_state_changed(kSender, 3, 1796749567123, cfx::kStateRunning, 2000,
                                               cfx::kStateIdle);
  const auto running = cfx::station_state_changed(kSender, 4, 1796749567123, cfx::kStateIdle,
                                                  std::nullopt, cfx::kStateRunning);
  EXPECT_EQ(idle.body["Lane"], 3);
  EXPECT_EQ(idle.body["OldStateDuration"], "00:00:02");
  EXPECT_EQ(running.body["Lane"], 4);
  EXPECT_TRUE(running.body["OldStateDuration"].is_null());
  EXPECT_NE(idle.unique_id, running.unique_id);
}

TEST(CfxStationMessages, TheFailingLineIsAFailedTestWithItsStatusAndASymptom) {
  const auto body = cfx::units_tested(kSender, facts()).body;
  const auto& unit = body["TestedUnits"][0];
  EXPECT_EQ(unit["OverallResult"], "Failed");
  ASSERT_EQ(unit["Tests"].size(), 2u);
  EXPECT_EQ(unit["Tests"][0]["Result"], "Passed");
  EXPECT_TRUE(unit["Tests"][0]["SymptomsFound"].empty());
  const auto& failed = unit["Tests"][1];
  EXPECT_EQ(failed["Result"], "Failed");
  EXPECT_EQ(failed["Error"], "status -3");
  ASSERT_EQ(failed["SymptomsFound"].size(), 1u);
  EXPECT_EQ(failed["SymptomsFound"][0]["SymptomCode"], "-3");
  EXPECT_EQ(failed["SymptomsFound"][0]["Description"],
            "line 2 \"fwr nosuch nosuch.bin\" ended with status -3");
}

TEST(CfxStationMessages, AStoppedRunIsAbortedAndARunWithoutUnitOrOperatorWritesNulls) {
  auto f = facts();
  f.result = "Aborted";
  f.lines.pop_back();
  f.unit_serial.reset();
  f.operator_id.reset();
  const auto tested = cfx::units_tested(kSender, f).body;
  EXPECT_EQ(tested["TestedUnits"][0]["OverallResult"], "Aborted");
  EXPECT_TRUE(tested["Tester"].is_null());
  EXPECT_TRUE(tested["TestedUnits"][0]["UnitIdentifier"].is_null());
  const auto started = cfx::work_started(kSender, f).body;
  EXPECT_TRUE(started["PrimaryIdentifier"].is_null());
  EXPECT_TRUE(started["Units"][0]["UnitIdentifier"].is_null());
  EXPECT_EQ(cfx::work_completed(kSender, f).body["Result"], "Aborted");
}

TEST(CfxStationMessages, HostileStationTextsGiveValidJson) {
  auto f = facts();
  f.unit_serial = "SN\"\\\n\x01\xff";
  f.operator_id = "Jos\xe9";
  f.recipe_name = "r\xe9\"d.tms";
  f.lines[1].text = "fwr \"a\tb\" \x80";
  f.imei_hex = "53029910476543f1";
  for (const auto& e : {cfx::work_started(kSender, f), cfx::units_tested(kSender, f),
                        cfx::units_personalized(kSender, f), cfx::work_completed(kSender, f),
                        cfx::operator_activated(kSender, 1, *f.operator_id)}) {
    const std::string text = cfx::envelope_json(e);
    nlohmann::json j;
    ASSERT_NO_THROW(j = nlohmann::json::parse(text)) << text;
    EXPECT_EQ(j["MessageBody"]["$type"], e.message_name + ", CFX");
  }
  const auto j = nlohmann::json::parse(cfx::envelope_json(cfx::units_tested(kSender, f)));
  EXPECT_EQ(j["MessageBody"]["Tester"]["OperatorIdentifier"], "Jos\u00e9");
  EXPECT_EQ(j["MessageBody"]["RecipeName"], "r\u00e9\"d.tms");
}

TEST(CfxStationMessages, AFaultIsClearedByTheOccurrenceItRaised) {
  cfx::FaultFacts f;
  f.cause = "ElectricalFailure";
  f.severity = "Error";
  f.code = "PORT-NOT-OPENED";
  f.description = "port 3 cannot be opened";
  f.port = 3;
  f.occurred_ms = 1796749565123;
  const auto fault = cfx::fault_object(f, "2b9f6f4e-3f1c-4a8e-9d51-0c2b7d0f3a11");
  const auto occurred = cfx::fault_occurred(kSender, fault);
  EXPECT_EQ(occurred.body["Fault"]["FaultOccurrenceId"], "2b9f6f4e-3f1c-4a8e-9d51-0c2b7d0f3a11");
  EXPECT_EQ(occurred.time_stamp, fault["OccurredAt"]);
  EXPECT_EQ(occurred.body["Fault"]["Lane"], 3);
  EXPECT_TRUE(occurred.body["Fault"]["DescriptionTranslations"].is_object());
  const auto cleared = cfx::fault_cleared(kSender, 1796749569000,
                                          "2b9f6f4e-3f1c-4a8e-9d51-0c2b7d0f3a11", std::nullopt);
  EXPECT_EQ(cleared.body["FaultOccurrenceId"], "2b9f6f4e-3f1c-4a8e-9d51-0c2b7d0f3a11");
  EXPECT_TRUE(cleared.body["Operator"].is_null());
}

TEST(CfxStationMessages, TheActiveFaultsAreTheHeartbeatsAndEndpointConnectedIsQueuedOnlyWithCfx) {
  testing_support::TempDir dir;
  cfx::Settings off;
  std::string error;
  EXPECT_TRUE(cfx::queue_endpoint_connected(dir.path(), off, 1796749565123, &error));
  EXPECT_FALSE(cfx::Queue::open_for_reading(dir.path(), &error));  // nothing created
  cfx::Settings on;
  on.enabled = true;
  on.handle = "Acme.Loader.T1";
  ASSERT_TRUE(cfx::queue_endpoint_connected(dir.path(), on, 1796749565123, &error)) << error;
  auto queue = cfx::Queue::open(dir.path(), &error);
  ASSERT_TRUE(queue) << error;
  const auto waiting = queue->waiting(10);
  ASSERT_EQ(waiting.size(), 1u);
  const auto j = nlohmann::json::parse(waiting[0].json);
  EXPECT_EQ(j["MessageName"], "CFX.EndpointConnected");
  EXPECT_EQ(j["MessageBody"]["CFXHandle"], "Acme.Loader.T1");
  EXPECT_TRUE(j["MessageBody"]["RequestNetworkUri"].is_null());
  // With a request port, whoever announces the station names it, as the
  // sender does: a null here would take the port out of the MES's directory.
  on.listen = "192.168.40.14:5673";
  ASSERT_TRUE(cfx::queue_endpoint_connected(dir.path(), on, 1796749565124, &error)) << error;
  const auto second = nlohmann::json::parse(queue->waiting(10).at(1).json)["MessageBody"];
  EXPECT_EQ(second["RequestNetworkUri"], "amqp://192.168.40.14:5673");
  EXPECT_EQ(second["RequestTargetAddress"], "Acme.Loader.T1");

  EXPECT_EQ(cfx::active_faults(*queue), nlohmann::ordered_json::array());
  cfx::FaultFacts f;
  f.port = 2;
  const auto fault = cfx::fault_object(f, "2b9f6f4e-3f1c-4a8e-9d51-0c2b7d0f3a11");
  ASSERT_TRUE(
      queue->add({}, {{"fault.port.2.open", fault.dump()}, {"fault.port.3.x", "junk"}}, &error));
  const auto active = cfx::active_faults(*queue);
  ASSERT_EQ(active.size(), 1u);
  EXPECT_EQ(active[0], fault);
  EXPECT_EQ(cfx::heartbeat(kSender, 1, 60, active).body["ActiveFaults"][0]["Lane"], 2);
}

}  // namespace
