// The handset at the end of a line: takes the tool's bytes, answers each
// complete request through the handset model and the fault plan, and says
// what goes back on the wire and how.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sim/faults.h"
#include "sim/frame_codec.h"
#include "sim/handset.h"

namespace sim {

struct Transmission {
  std::vector<std::uint8_t> bytes;
  long gap_ms = 0;             // pause between bytes (a trickled reply)
  bool hang_up_after = false;  // the line goes dead once these bytes are out
};

class SimulatedLine {
 public:
  explicit SimulatedLine(Handset& handset) : handset_(handset) {}

  std::vector<Transmission> receive(std::span<const std::uint8_t> bytes);

  FaultPlan& faults() { return faults_; }
  // Every request received since the start or clear_requests(), in order
  // (for tests and the simulator's log), unless forgotten since.
  const std::vector<Request>& requests() const { return requests_; }
  // How many: the number a fault plan counts requests by.
  int received_count() const { return received_; }
  void clear_requests() {
    requests_.clear();
    received_ = 0;
  }
  // Lets the requests held so far go and keeps counting: a simulator that
  // serves a line for days hands each to its log and need not hold them all.
  void forget_requests() { requests_.clear(); }
  int dropped_frames() const { return parser_.dropped_frames(); }

 private:
  std::vector<Transmission> respond(const Request& request);
  Handset& handset_;
  RequestParser parser_;
  FaultPlan faults_;
  std::vector<Request> requests_;
  int received_ = 0;
  bool hung_up_ = false;
};

}  // namespace sim
