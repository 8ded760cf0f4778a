#include "commands/test_mode.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "link/command_support.h"
#include "link/link.h"

namespace commands {

namespace {

// Sends one request with two head bytes until it succeeds, then logs it.
int exchange_and_log(wire::Link& link, const std::string& line, std::uint8_t request_id,
                     std::span<const std::uint8_t> head, std::size_t reply_head_count,
                     double timeout) {
  std::array<std::uint8_t, 1> reply_head{};
  auto outcome = wire::retry(wire::kAttemptCount, [&] {
    return link.exchange(request_id, head, {}, {}, std::span(reply_head).first(reply_head_count),
                         timeout);
  });
  wire::log_result(link, line, outcome.status, outcome.attempts_used);
  return outcome.status;
}

}  // namespace

int entertestmode(wire::Link& link, const std::string& line) {
  // "tms 0..." asks for mode 0; anything else is mode 1.
  const std::uint8_t mode = line.compare(0, 5, "tms 0") == 0 ? 0x00 : 0x01;
  const std::array<std::uint8_t, 2> head{mode, 0x00};
  return exchange_and_log(link, line, kTestModeRequest, head, 0, kTestModeTimeout);
}

int ti(wire::Link& link, const std::string& line) {
  return exchange_and_log(link, line, kTiRequest, {}, 0, wire::kReplyTimeout);
}

int se(wire::Link& link, const std::string& line, const std::string& value) {
  const auto byte = static_cast<std::uint8_t>(wire::to_int(value) & 0xFF);
  const std::array<std::uint8_t, 2> head{byte, 0x00};
  return exchange_and_log(link, line, kSeRequest, head, 1, wire::kReplyTimeout);
}

int sleep(wire::Link& link, const std::string& line, const std::string& delay) {
  link.pause(wire::to_decimal(delay) / 1000.0);
  link.log().line(line);
  return 0;
}

}  // namespace commands
