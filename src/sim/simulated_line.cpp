#include "sim/simulated_line.h"

namespace sim {

namespace {
// Noise a real line picks up: no frame boundary in it.
constexpr std::uint8_t kNoisePattern[] = {0xFF, 0x00, 0x55, 0xAA, 0x7E, 0x14, 0x81, 0x3C};
}  // namespace

std::vector<Transmission> SimulatedLine::receive(std::span<const std::uint8_t> bytes) {
  std::vector<Transmission> out;
  if (hung_up_) return out;
  for (const Request& request : parser_.feed(bytes)) {
    requests_.push_back(request);
    ++received_;
    for (Transmission& t : respond(request)) out.push_back(std::move(t));
    if (hung_up_) break;
  }
  return out;
}

std::vector<Transmission> SimulatedLine::respond(const Request& request) {
  const int number = received_;
  std::optional<FaultRule> fault = faults_.for_request(request, number);
  // A request lost on the way is never acted on; a refusal means the handset
  // did not do it.
  if (fault && fault->kind == FaultKind::kSilent) return {};
  if (fault && fault->kind == FaultKind::kRefuse) {
    return {Transmission{encode_reply(
        request.id, Reply{fault->status == 0 ? std::uint8_t{1} : fault->status, {}, {}})}};
  }
  // The handset acts on a request even when its reply is then spoiled.
  std::optional<Reply> reply = handset_.answer(request);
  if (!reply) return {};
  if (!fault) return {Transmission{encode_reply(request.id, *reply)}};

  Transmission t;
  switch (fault->kind) {
    case FaultKind::kBrokenEscape: {
      t.bytes = encode_reply(request.id, *reply);
      // Before the checksum (or its escape pair) and the end byte.
      const std::uint8_t sum = reply_checksum(request.id, *reply);
      const bool escaped_sum = sum == 0x02 || sum == 0x10;
      t.bytes.insert(t.bytes.end() - (escaped_sum ? 3 : 2),
                     {std::uint8_t{0x10}, std::uint8_t{0x41}});
      break;
    }
    case FaultKind::kReset:
      t.bytes = encode_reply(request.id, *reply);
      t.bytes.resize(t.bytes.size() / 2);
      handset_.restart();
      break;
    case FaultKind::kWrongId:
      t.bytes = encode_reply(static_cast<std::uint8_t>(request.id ^ 0x01), *reply);
      break;
    case FaultKind::kNoise:
      for (int i = 0; i < fault->noise_bytes; ++i) {
        t.bytes.push_back(kNoisePattern[i % static_cast<int>(sizeof kNoisePattern)]);
      }
      {
        auto frame = encode_reply(request.id, *reply);
        t.bytes.insert(t.bytes.end(), frame.begin(), frame.end());
      }
      break;
    case FaultKind::kBadChecksum: {
      std::uint8_t good = reply_checksum(request.id, *reply);
      std::uint8_t bad = static_cast<std::uint8_t>(good ^ 0x40);
      t.bytes = encode_reply(request.id, *reply, bad);
      break;
    }
    case FaultKind::kTrickle:
      t.bytes = encode_reply(request.id, *reply);
      t.gap_ms = fault->gap_ms;
      break;
    case FaultKind::kMissingEnd:
      t.bytes = encode_reply(request.id, *reply);
      t.bytes.pop_back();
      break;
    case FaultKind::kHangUp:
      t.bytes = encode_reply(request.id, *reply);
      t.bytes.resize(t.bytes.size() / 2);
      t.hang_up_after = true;
      hung_up_ = true;
      break;
    case FaultKind::kSilent:
    case FaultKind::kRefuse:
      break;
  }
  return {std::move(t)};
}

}  // namespace sim
