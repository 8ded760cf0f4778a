// Faults the simulated handset can be told to commit, at chosen requests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/frame_codec.h"

namespace sim {

enum class FaultKind {
  kSilent,       // no reply at all
  kRefuse,       // reply with a non-zero status
  kWrongId,      // reply carrying another request id
  kNoise,        // noise bytes before the reply
  kBadChecksum,  // reply with a wrong checksum byte
  kTrickle,      // reply bytes with a pause between each
  kMissingEnd,   // reply without its end byte
  kHangUp,       // half a reply, then the line goes dead
};

struct FaultRule {
  FaultKind kind = FaultKind::kSilent;
  // Which requests: the n-th request overall (1-based; 0 = any), and/or those
  // with this request id and file-system operation byte.
  int request_number = 0;
  std::optional<std::uint8_t> request_id;
  std::optional<std::uint8_t> fs_operation;
  // Among the matching requests: the first one it applies to (1-based) and
  // how many in a row (-1: every one from there on).
  int first_match = 1;
  int times = -1;
  // Parameters of the fault.
  std::uint8_t status = 1;  // kRefuse
  int noise_bytes = 8;      // kNoise
  long gap_ms = 20;         // kTrickle
  // Bookkeeping: matching requests seen so far.
  int seen = 0;
};

// Parses "KIND[:WHERE[:FIRST[:TIMES]]]" as the simulator's --fault option
// takes it, for example "silent:0x21", "refuse:0x70/0x1B:2:1", "noise:7",
// "trickle:*". WHERE is "*", a request number, an id "0xID" or "0xID/0xOP".
std::optional<FaultRule> parse_fault(const std::string& text, std::string* error);

class FaultPlan {
 public:
  void add(FaultRule rule) { rules_.push_back(rule); }
  void clear() { rules_.clear(); }
  // The fault to commit for this request (the first rule that matches), if any.
  std::optional<FaultRule> for_request(const Request& request, int request_number);

 private:
  std::vector<FaultRule> rules_;
};

}  // namespace sim
