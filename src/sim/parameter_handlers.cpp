#include <algorithm>
#include <span>

#include "sim/handlers.h"
#include "sim/handset.h"

namespace sim {

namespace {

// Head bytes of the parameter write (0x52) and read (0x53) requests.
constexpr std::uint8_t kWriteAlone = 0x00;
constexpr std::uint8_t kWriteDigits = 0x22;
constexpr std::uint8_t kWriteText = 0x23;
constexpr std::uint8_t kReadDigits = 0x23;
constexpr std::uint8_t kReadText = 0x24;
constexpr std::size_t kDigitCount = 6;
constexpr std::uint8_t kAgcHead = 0x2F;
constexpr std::size_t kAgcReplyLength = 10;
constexpr std::size_t kAgcWriteLength = 8;
// A first spw byte of 0x02 is answered with two head bytes.
constexpr std::uint8_t kSpwDoubledHead = 0x02;

std::uint8_t low_byte(std::uint16_t value) {
  return static_cast<std::uint8_t>(value & 0xFFU);
}
std::uint8_t high_byte(std::uint16_t value) {
  return static_cast<std::uint8_t>(value >> 8U);
}

std::optional<Reply> write_parameter(ParameterStore& store, const std::vector<std::uint8_t>& p) {
  if (p.empty()) return refusal();
  const auto body = std::span(p).subspan(1);
  switch (p[0]) {
    case kWriteAlone:
      if (!body.empty()) return refusal();
      break;
    case kWriteDigits:
      if (body.size() != kDigitCount) return refusal();
      std::copy(body.begin(), body.end(), store.digits.begin());
      break;
    case kWriteText:
      if (body.size() != store.text.size()) return refusal();
      std::copy(body.begin(), body.end(), store.text.begin());
      break;
    default:
      return refusal();
  }
  return ok_reply({p[0]});
}

std::optional<Reply> read_parameter(const ParameterStore& store,
                                    const std::vector<std::uint8_t>& p) {
  if (p.size() != 1) return refusal();
  switch (p[0]) {
    case kReadDigits:
      return ok_reply({p[0]}, {store.digits.begin(), store.digits.end()});
    case kReadText:
      return ok_reply({p[0]}, {store.text.begin(), store.text.end()});
    default:
      return refusal();
  }
}

}  // namespace

std::optional<Reply> answer_parameters(HandsetState& state, const Request& request) {
  ParameterStore& store = state.parameters;
  const auto& p = request.payload;
  switch (request.id) {
    case 0x52:
      return write_parameter(store, p);
    case 0x53:
      return read_parameter(store, p);
    case 0x42:  // register write: address, 0x00, value low, value high
      if (p.size() != 4 || p[1] != 0x00) return refusal();
      store.registers[p[0]] = static_cast<std::uint16_t>(p[2] | (p[3] << 8U));
      return ok_reply();
    case 0x43: {  // register read: address, 0x00; the value as two head bytes
      if (p.size() != 2 || p[1] != 0x00) return refusal();
      const auto it = store.registers.find(p[0]);
      const std::uint16_t value = it == store.registers.end() ? 0 : it->second;
      return ok_reply({low_byte(value), high_byte(value)});
    }
    case 0x50:  // first number, 0x00, second number, 0x00
      if (p.size() != 4) return refusal();
      store.last_spw = p;
      if (p[0] == kSpwDoubledHead) return ok_reply({0x50, 0x00});
      return ok_reply({0x50});
    case 0x23:  // number, 0x00
      if (p.size() != 2) return refusal();
      store.last_rfe = p;
      return ok_reply({0x23});
    case 0x33: {  // AGC read: the value low byte first, then eight unused bytes
      if (p.size() != 1 || p[0] != kAgcHead) return refusal();
      std::vector<std::uint8_t> data(kAgcReplyLength, 0x00);
      data[0] = low_byte(store.agc_value);
      data[1] = high_byte(store.agc_value);
      return ok_reply({kAgcHead}, std::move(data));
    }
    case 0x32:  // AGC write: head 0x2F and four 16-bit values
      if (p.size() != 1 + kAgcWriteLength || p[0] != kAgcHead) return refusal();
      store.last_agc_write.assign(p.begin() + 1, p.end());
      return ok_reply({kAgcHead});
    default:
      return std::nullopt;
  }
}

}  // namespace sim
