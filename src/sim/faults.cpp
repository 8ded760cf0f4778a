#include "sim/faults.h"

#include <cstdlib>
#include <random>

#include "sim/fs_requests.h"

namespace sim {

namespace {

std::optional<FaultKind> kind_named(const std::string& name) {
  if (name == "silent") return FaultKind::kSilent;
  if (name == "refuse") return FaultKind::kRefuse;
  if (name == "wrong-id") return FaultKind::kWrongId;
  if (name == "noise") return FaultKind::kNoise;
  if (name == "bad-checksum") return FaultKind::kBadChecksum;
  if (name == "trickle") return FaultKind::kTrickle;
  if (name == "missing-end") return FaultKind::kMissingEnd;
  if (name == "hang-up") return FaultKind::kHangUp;
  if (name == "broken-escape") return FaultKind::kBrokenEscape;
  if (name == "reset") return FaultKind::kReset;
  return std::nullopt;
}

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t at = text.find(sep, start);
    parts.push_back(text.substr(start, at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return parts;
}

std::optional<long> number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 0);
  if (*end != '\0' || value < 0 || value > 1'000'000) return std::nullopt;
  return value;
}

}  // namespace

std::optional<FaultRule> parse_fault(const std::string& text, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<FaultRule> {
    if (error) *error = "bad fault \"" + text + "\": " + why;
    return std::nullopt;
  };
  std::vector<std::string> parts = split(text, ':');
  if (parts.size() > 4) return fail("too many fields");
  FaultRule rule;
  auto kind = kind_named(parts[0]);
  if (!kind) {
    return fail(
        "kinds are silent, refuse, wrong-id, noise, bad-checksum, trickle, "
        "missing-end, hang-up, broken-escape, reset");
  }
  rule.kind = *kind;
  if (parts.size() > 1 && parts[1] != "*") {
    const std::string& where = parts[1];
    if (where.starts_with("0x") || where.starts_with("0X")) {
      std::vector<std::string> id_op = split(where, '/');
      auto id = number(id_op[0]);
      if (!id || *id > 0xFF || id_op.size() > 2) return fail("request id must be 0x00..0xFF");
      rule.request_id = static_cast<std::uint8_t>(*id);
      if (id_op.size() == 2) {
        auto op = number(id_op[1]);
        if (!op || *op > 0xFF) return fail("operation must be 0x00..0xFF");
        rule.fs_operation = static_cast<std::uint8_t>(*op);
      }
    } else {
      auto n = number(where);
      if (!n || *n < 1) return fail("request number must be 1 or more");
      rule.request_number = static_cast<int>(*n);
    }
  }
  if (parts.size() > 2) {
    auto first = number(parts[2]);
    if (!first || *first < 1) return fail("first match must be 1 or more");
    rule.first_match = static_cast<int>(*first);
  }
  if (parts.size() > 3) {
    if (parts[3] == "*") {
      rule.times = -1;
    } else {
      auto times = number(parts[3]);
      if (!times) return fail("times must be a number or *");
      rule.times = static_cast<int>(*times);
    }
  }
  return rule;
}

const char* fault_kind_name(FaultKind kind) {
  switch (kind) {
    case FaultKind::kSilent:
      return "silent";
    case FaultKind::kRefuse:
      return "refuse";
    case FaultKind::kWrongId:
      return "wrong-id";
    case FaultKind::kNoise:
      return "noise";
    case FaultKind::kBadChecksum:
      return "bad-checksum";
    case FaultKind::kTrickle:
      return "trickle";
    case FaultKind::kMissingEnd:
      return "missing-end";
    case FaultKind::kHangUp:
      return "hang-up";
    case FaultKind::kBrokenEscape:
      return "broken-escape";
    case FaultKind::kReset:
      return "reset";
  }
  return "?";
}

std::optional<RandomFaults> parse_random_faults(const std::string& text, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<RandomFaults> {
    if (error) *error = "bad random faults \"" + text + "\": " + why;
    return std::nullopt;
  };
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return fail("RATE:SEED expected");
  const std::string rate_text = text.substr(0, colon);
  const std::string seed_text = text.substr(colon + 1);
  char* end = nullptr;
  const double rate = std::strtod(rate_text.c_str(), &end);
  if (rate_text.empty() || *end != '\0' || !(rate >= 0.0 && rate <= 1.0)) {
    return fail("RATE must be a number from 0 to 1");
  }
  end = nullptr;
  const unsigned long long seed = std::strtoull(seed_text.c_str(), &end, 0);
  if (seed_text.empty() || *end != '\0' || seed_text[0] == '-') {
    return fail("SEED must be a whole number");
  }
  RandomFaults random;
  random.rate = rate;
  random.seed = seed;
  return random;
}

struct FaultPlan::Random {
  RandomFaults settings;
  std::mt19937_64 engine;
};

FaultPlan::FaultPlan() : committed_(std::size(kAllFaultKinds), 0) {}
FaultPlan::~FaultPlan() = default;

void FaultPlan::clear() {
  rules_.clear();
  random_.reset();
}

void FaultPlan::set_random(const RandomFaults& random) {
  if (random.rate <= 0.0 || random.kinds.empty()) {
    random_.reset();
    return;
  }
  random_ = std::make_unique<Random>(Random{random, std::mt19937_64(random.seed)});
}

std::optional<FaultRule> FaultPlan::for_request(const Request& request, int request_number) {
  std::optional<FaultRule> chosen;
  for (FaultRule& rule : rules_) {
    if (rule.request_number != 0 && rule.request_number != request_number) continue;
    if (rule.request_id && *rule.request_id != request.id) continue;
    if (rule.fs_operation && fs_operation(request.payload) != rule.fs_operation) continue;
    const int match = ++rule.seen;
    if (match < rule.first_match) continue;
    if (rule.times >= 0 && match >= rule.first_match + rule.times) continue;
    chosen = rule;
    break;
  }
  if (!chosen && random_) {
    // Two draws per request whatever the outcome, so that the faults a seed
    // gives do not shift when a rule is added.
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    const double draw = chance(random_->engine);
    const auto& kinds = random_->settings.kinds;
    const std::size_t pick =
        std::uniform_int_distribution<std::size_t>(0, kinds.size() - 1)(random_->engine);
    if (draw < random_->settings.rate) {
      FaultRule rule;
      rule.kind = kinds[pick];
      // Random noise is always more than the reader may skip: noise it
      // tolerates is no fault.
      rule.noise_bytes = kNoisePastHuntLimit;
      chosen = rule;
    }
  }
  if (chosen) ++committed_[static_cast<std::size_t>(chosen->kind)];
  return chosen;
}

int FaultPlan::committed(FaultKind kind) const {
  return committed_[static_cast<std::size_t>(kind)];
}

int FaultPlan::committed_total() const {
  int total = 0;
  for (int n : committed_) total += n;
  return total;
}

}  // namespace sim
