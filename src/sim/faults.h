// Faults the simulated handset can be told to commit, at chosen requests.
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/frame_codec.h"

namespace sim {

enum class FaultKind {
  kSilent,        // no reply at all
  kRefuse,        // reply with a non-zero status
  kWrongId,       // reply carrying another request id
  kNoise,         // noise bytes before the reply
  kBadChecksum,   // reply with a wrong checksum byte
  kTrickle,       // reply bytes with a pause between each
  kMissingEnd,    // reply without its end byte
  kHangUp,        // half a reply, then the line goes dead
  kBrokenEscape,  // an escape byte followed by neither 0x02 nor 0x10, before the checksum
  kReset,         // half a reply, then the handset restarts: it forgets its open files
                  // and answers the next request (the cable stays, so the PC sees silence)
};

// Every kind, in the order the simulator's help lists them.
inline constexpr FaultKind kAllFaultKinds[] = {
    FaultKind::kSilent,       FaultKind::kRefuse,  FaultKind::kWrongId,    FaultKind::kNoise,
    FaultKind::kBadChecksum,  FaultKind::kTrickle, FaultKind::kMissingEnd, FaultKind::kHangUp,
    FaultKind::kBrokenEscape, FaultKind::kReset};
const char* fault_kind_name(FaultKind kind);

// Noise that the tool's reader must give up on: one byte past its hunt limit.
inline constexpr int kNoisePastHuntLimit = 31;

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

// Rare faults at random requests, the same ones again for the same seed: each
// request is spoiled with probability `rate` by a kind drawn from `kinds`.
struct RandomFaults {
  double rate = 0.0;
  std::uint64_t seed = 0;
  std::vector<FaultKind> kinds{std::begin(kAllFaultKinds), std::end(kAllFaultKinds)};
};
// Parses "RATE:SEED" as --random-faults takes it, RATE in 0..1 ("0.002:7").
std::optional<RandomFaults> parse_random_faults(const std::string& text, std::string* error);

class FaultPlan {
 public:
  FaultPlan();
  ~FaultPlan();
  FaultPlan(const FaultPlan&) = delete;
  FaultPlan& operator=(const FaultPlan&) = delete;

  void add(FaultRule rule) { rules_.push_back(rule); }
  void clear();
  void set_random(const RandomFaults& random);
  // The fault to commit for this request (the first rule that matches, else
  // a random one), if any.
  std::optional<FaultRule> for_request(const Request& request, int request_number);
  // How many faults of each kind were committed (rules and random alike).
  int committed(FaultKind kind) const;
  int committed_total() const;

 private:
  struct Random;
  std::vector<FaultRule> rules_;
  std::unique_ptr<Random> random_;
  std::vector<int> committed_;
};

}  // namespace sim
