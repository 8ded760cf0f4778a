#include "commands/parameters.h"

#include <algorithm>
#include <array>
#include <span>

#include "commands/parameter_words.h"
#include "link/command_support.h"
#include "link/link.h"
#include "platform/text_format.h"

namespace commands {

namespace {

// Sub-command numbers of "stw" and "str", and the head byte each is sent with.
constexpr std::int8_t kSubCommandAlone = -48;  // the word "0"
constexpr std::int8_t kSubCommandDigits = 34;
constexpr std::int8_t kSubCommandText = 35;
constexpr std::int8_t kSubCommandReadText = 36;

constexpr std::uint8_t kHeadAlone = 0x00;
constexpr std::uint8_t kHeadDigits = 0x22;
constexpr std::uint8_t kHeadReadDigits = 0x23;  // "str 35" reads what "stw 34" wrote
constexpr std::uint8_t kHeadText = 0x23;
constexpr std::uint8_t kHeadReadText = 0x24;

constexpr std::size_t kDigitsReplyLength = 30;
constexpr std::size_t kTextReplyLength = kTextLength;

constexpr std::uint8_t kAgcHead = 0x2F;
constexpr std::size_t kAgcReplyLength = 10;
// The three fixed 16-bit values sent back after the AGC value, low byte first.
constexpr std::array<std::uint16_t, 3> kAgcFixedValues{40, 40, 44};

// A head byte 0x02 comes back escaped, as two reply head bytes.
constexpr std::uint8_t kSpwDoubledHead = 0x02;

std::uint8_t low_byte(std::uint16_t value) {
  return static_cast<std::uint8_t>(value & 0xFFU);
}
std::uint8_t high_byte(std::uint16_t value) {
  return static_cast<std::uint8_t>(value >> 8U);
}

// One exchange that only its status matters for, with one reply head byte.
int exchange_status(wire::Link& link, std::uint8_t request_id, std::span<const std::uint8_t> head,
                    std::span<const std::uint8_t> body, std::size_t reply_head_count = 1) {
  std::array<std::uint8_t, 2> reply_head{};
  return link.exchange(request_id, head, body, {}, std::span(reply_head).first(reply_head_count),
                       wire::kReplyTimeout);
}

int log_and_return(wire::Link& link, const std::string& line, const wire::RetryOutcome& outcome) {
  wire::log_result(link, line, outcome.status, outcome.attempts_used);
  return outcome.status;
}

int unknown_sub_command(wire::Link& link, const std::string& line) {
  wire::log_result(link, line, kStatusUnknownSubCommand, 0);
  return kStatusUnknownSubCommand;
}

// "str 35": the first six reply data bytes must be the script's digits.
int read_digits(wire::Link& link, const DigitBytes& expected) {
  const std::array<std::uint8_t, 1> head{kHeadReadDigits};
  std::array<std::uint8_t, 1> reply_head{};
  std::array<std::uint8_t, kDigitsReplyLength> data{};
  const int status =
      link.exchange(kParameterReadRequest, head, {}, data, reply_head, wire::kReplyTimeout);
  if (status != 0) return status;
  for (std::size_t i = 0; i < kDigitCount; ++i) {
    if (data[i] != expected[i]) return kStatusDigitsDiffer;
  }
  return 0;
}

// "str 36": each non-zero reply byte must equal the script's text byte there;
// the handset's zero bytes stand for characters it does not report.
int read_text(wire::Link& link, const TextBytes& expected) {
  const std::array<std::uint8_t, 1> head{kHeadReadText};
  std::array<std::uint8_t, 1> reply_head{};
  std::array<std::uint8_t, kTextReplyLength> data{};
  const int status =
      link.exchange(kParameterReadRequest, head, {}, data, reply_head, wire::kReplyTimeout);
  if (status != 0) return status;
  for (std::size_t i = 0; i < kTextLength; ++i) {
    if (data[i] != 0 && data[i] != expected[i]) return kStatusTextDiffers;
  }
  return 0;
}

}  // namespace

int stw(wire::Link& link, const std::string& line, const std::string& w2, const std::string& w3,
        const std::string& w4, const std::string& w5, const std::string& w6, const std::string& w7,
        const std::string& w8) {
  std::array<std::uint8_t, 1> head{};
  std::array<std::uint8_t, kTextLength> body_bytes{};
  std::span<const std::uint8_t> body;
  switch (sub_command_number(w2)) {
    case kSubCommandAlone:
      head[0] = kHeadAlone;
      break;
    case kSubCommandDigits: {
      const std::array<const std::string*, kDigitCount> words{&w3, &w4, &w5, &w6, &w7, &w8};
      const DigitBytes digits = digit_bytes(words);
      std::copy(digits.begin(), digits.end(), body_bytes.begin());
      head[0] = kHeadDigits;
      body = std::span(body_bytes).first(kDigitCount);
      break;
    }
    case kSubCommandText:
      body_bytes = text_bytes(w3);
      head[0] = kHeadText;
      body = body_bytes;
      break;
    default:
      return unknown_sub_command(link, line);
  }
  return log_and_return(link, line, wire::retry(wire::kAttemptCount, [&] {
                          return exchange_status(link, kParameterWriteRequest, head, body);
                        }));
}

int str(wire::Link& link, const std::string& line, const std::string& w2, const std::string& w3,
        const std::string& w4, const std::string& w5, const std::string& w6, const std::string& w7,
        const std::string& w8) {
  switch (sub_command_number(w2)) {
    case kSubCommandText: {
      const std::array<const std::string*, kDigitCount> words{&w3, &w4, &w5, &w6, &w7, &w8};
      const DigitBytes expected = digit_bytes(words);
      return log_and_return(link, line, wire::retry(wire::kAttemptCount, [&] {
                              return read_digits(link, expected);
                            }));
    }
    case kSubCommandReadText: {
      const TextBytes expected = text_bytes(w3);
      return log_and_return(
          link, line, wire::retry(wire::kAttemptCount, [&] { return read_text(link, expected); }));
    }
    default:
      return unknown_sub_command(link, line);
  }
}

int cw(wire::Link& link, const std::string& line, const std::string& w2, const std::string& w3,
       const std::string& w4) {
  const std::uint8_t address = register_address(w2, w3);
  const auto value = register_value(w4);
  if (!value) return kStatusMalformedValue;  // nothing sent, no log line
  const std::array<std::uint8_t, 2> head{address, 0x00};
  const std::array<std::uint8_t, 2> body{low_byte(*value), high_byte(*value)};
  return log_and_return(link, line, wire::retry(wire::kAttemptCount, [&] {
                          return exchange_status(link, kRegisterWriteRequest, head, body, 0);
                        }));
}

int cr(wire::Link& link, const std::string& line, const std::string& w2, const std::string& w3) {
  const std::array<std::uint8_t, 2> head{register_address(w2, w3), 0x00};
  // Set once: the flag below looks at whatever the last attempt left here.
  std::array<std::uint8_t, 2> reply_head{0x00, 0x00};
  const auto outcome = wire::retry(wire::kAttemptCount, [&] {
    return link.exchange(kRegisterReadRequest, head, {}, {}, reply_head, wire::kReplyTimeout);
  });
  const bool expected = reply_head[0] == low_byte(kExpectedRegisterValue) &&
                        reply_head[1] == high_byte(kExpectedRegisterValue);
  const int flag = expected ? 0 : 1;
  link.log().line(platform::strprintf("%s  => %d (%d), register=0x005B(%d)", line.c_str(),
                                      outcome.status, outcome.attempts_used, flag));
  return outcome.status + flag;
}

int spw(wire::Link& link, const std::string& line, const std::string& w2, const std::string& w3) {
  const std::array<std::uint8_t, 2> head{number_byte(w2), 0x00};
  const std::array<std::uint8_t, 2> body{number_byte(w3), 0x00};
  // Decided by the byte on the wire: "spw 258" sends what "spw 2" sends and
  // gets the same reply.
  const std::size_t reply_head_count = head[0] == kSpwDoubledHead ? 2 : 1;
  return log_and_return(link, line, wire::retry(wire::kAttemptCount, [&] {
                          return exchange_status(link, kSpwRequest, head, body, reply_head_count);
                        }));
}

int rfe(wire::Link& link, const std::string& line, const std::string& w2) {
  const std::array<std::uint8_t, 2> head{number_byte(w2), 0x00};
  return log_and_return(link, line, wire::retry(wire::kAttemptCount, [&] {
                          return exchange_status(link, kRfeRequest, head, {});
                        }));
}

int agcdac(wire::Link& link, const std::string& line) {
  const std::array<std::uint8_t, 1> head{kAgcHead};
  std::array<std::uint8_t, 1> reply_head{};
  std::array<std::uint8_t, kAgcReplyLength> data{};
  std::uint16_t value = 0;
  const auto outcome = wire::retry(wire::kAttemptCount, [&] {
    const int read_status =
        link.exchange(kAgcReadRequest, head, {}, data, reply_head, wire::kReplyTimeout);
    // Taken after every read, so the log shows what the last read left.
    value = static_cast<std::uint16_t>(data[0] | (data[1] << 8U));
    if (read_status != 0) return read_status;
    std::array<std::uint8_t, 2 + 2 * kAgcFixedValues.size()> body{low_byte(value),
                                                                  high_byte(value)};
    for (std::size_t i = 0; i < kAgcFixedValues.size(); ++i) {
      body[2 + 2 * i] = low_byte(kAgcFixedValues[i]);
      body[3 + 2 * i] = high_byte(kAgcFixedValues[i]);
    }
    return exchange_status(link, kAgcWriteRequest, head, body);
  });
  link.log().line(platform::strprintf("%s(%d) => %d(%d)", line.c_str(), static_cast<int>(value),
                                      outcome.status, outcome.attempts_used));
  return outcome.status;
}

}  // namespace commands
