// The messages this station publishes, built from plain facts: what a run
// did, which port, which unit, which operator. Each builder returns an
// envelope ready for the queue; its UniqueID is name-based wherever the same
// message may be built again after a crash (a run's messages: the run's uid
// and the message's kind), random otherwise.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cfx/envelope.h"

namespace cfx {

// SEMI E10 states as the standard writes them.
constexpr const char* kStateRunning = "1100";  // regular work
constexpr const char* kStateIdle = "2200";     // no product

// Who sends: the station's handle; the time a message is stamped with.
struct Sender {
  std::string handle;
};

// {UnitIdentifier, PositionNumber, PositionName, X, Y, Rotation, FlipX, FlipY, Status}:
// the unit's serial (null without one) on the port.
nlohmann::ordered_json unit_position(const std::optional<std::string>& serial, int port);
// {OperatorIdentifier, ActorType "Human", LastName, FirstName, LoginName}
nlohmann::ordered_json operator_of(const std::string& id);

// One script line that ran, for UnitsTested.
struct LineRan {
  int number = 0;
  std::string text;
  int status = 0;  // the command's status; 0 passed
  std::int64_t started_ms = 0, ended_ms = 0;
};

// What the messages of one run are built from.
struct RunFacts {
  std::string run_uid;  // the record's uid: the name behind every GUID of the run
  int port = 0;
  std::optional<std::string> unit_serial, operator_id;
  std::string recipe_name;  // the script's file name
  std::string revision;     // SHA-256 hex of the script's bytes
  std::int64_t started_ms = 0, ended_ms = 0;
  std::vector<LineRan> lines;  // the lines that ran, in order
  // "Completed", "Failed" or "Aborted" (WorkCompleted's Result).
  std::string result;
  std::string failed_reason;            // for a Failed or Aborted run: the symptom's description
  std::optional<std::string> imei_hex;  // an IMEI the run wrote to the handset
};

// The run's transaction: one per run attempt, the same when rebuilt.
std::string transaction_id(const RunFacts& run);

Envelope work_started(const Sender& sender, const RunFacts& run);
Envelope units_tested(const Sender& sender, const RunFacts& run);
Envelope units_personalized(const Sender& sender, const RunFacts& run);  // needs imei_hex
Envelope work_completed(const Sender& sender, const RunFacts& run);

// A port's state: each port of the station is a lane of its own (as in
// WorkStarted and a Fault), so the body names it in "Lane", after the
// standard's fields; a receiver that does not know it reads the rest as
// usual, and one that does never sees two ports' changes as one station's.
Envelope station_state_changed(const Sender& sender, int port, std::int64_t at_ms,
                               const std::string& old_state,
                               std::optional<std::int64_t> old_state_ms,
                               const std::string& new_state,
                               const nlohmann::ordered_json& related_fault = nullptr);

Envelope operator_activated(const Sender& sender, std::int64_t at_ms, const std::string& id);
Envelope operator_deactivated(const Sender& sender, std::int64_t at_ms, const std::string& id);

// A fault of one port (lane): its Fault object, kept while it is active
// (the heartbeat lists it, FaultCleared names its FaultOccurrenceId).
struct FaultFacts {
  std::string cause;     // "ElectricalFailure", "MechanicalFailure", ...
  std::string severity;  // "Warning", "Error", ...
  std::string code;      // this station's own: "PORT-OPEN", "FIXTURE-ALARM"
  std::string description;
  int port = 0;
  std::int64_t occurred_ms = 0;
  std::optional<std::string> transaction_id;
};
nlohmann::ordered_json fault_object(const FaultFacts& fault, const std::string& occurrence_id);
Envelope fault_occurred(const Sender& sender, const nlohmann::ordered_json& fault);
Envelope fault_cleared(const Sender& sender, std::int64_t at_ms, const std::string& occurrence_id,
                       const std::optional<std::string>& operator_id);

// The endpoint's own: a front end or the sender starts, stops, lives.
Envelope endpoint_connected(const Sender& sender, std::int64_t at_ms,
                            const std::string& request_uri = "",
                            const std::string& request_address = "");
Envelope endpoint_shutting_down(const Sender& sender, std::int64_t at_ms);
Envelope heartbeat(const Sender& sender, std::int64_t at_ms, int frequency_s,
                   const nlohmann::ordered_json& active_faults);

}  // namespace cfx
