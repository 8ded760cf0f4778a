#include "sim/faults.h"

#include <cstdlib>

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
        "missing-end, hang-up");
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

std::optional<FaultRule> FaultPlan::for_request(const Request& request, int request_number) {
  for (FaultRule& rule : rules_) {
    if (rule.request_number != 0 && rule.request_number != request_number) continue;
    if (rule.request_id && *rule.request_id != request.id) continue;
    if (rule.fs_operation && fs_operation(request.payload) != rule.fs_operation) continue;
    const int match = ++rule.seen;
    if (match < rule.first_match) continue;
    if (rule.times >= 0 && match >= rule.first_match + rule.times) continue;
    return rule;
  }
  return std::nullopt;
}

}  // namespace sim
