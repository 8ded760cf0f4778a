// What every script command shares: the retry loop with its attempt count,
// the usual log line, and the line written for a keyword not served yet.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace wire {

class Link;

constexpr int kAttemptCount = 5;
constexpr double kReplyTimeout = 5.0;  // seconds per reply byte, nearly every request

// Statuses the commands share.
constexpr int kStatusNotSupported = 3;

struct RetryOutcome {
  int status;
  int attempts_used;  // the attempt count minus the attempts left
};

// Runs attempt() while it returns non-zero and attempts are left; the status
// starts non-zero so that the first attempt is always made.
RetryOutcome retry(int attempt_count, const std::function<int()>& attempt);

// Appends "<line>  => <status> (<attempts>)" to the link's run log.
void log_result(Link& link, const std::string& line, int status, int attempts_used);

// Appends "<line>  => not supported" and returns kStatusNotSupported, so that
// no script silently skips a command this build does not serve.
int not_supported(Link& link, const std::string& line);

// The test-mode entry request sent with no wait for its reply (the download
// uses it to bring a handset back after a failed attempt).
void send_test_mode_request(Link& link, std::uint8_t mode);

// The standard integer conversion: optional blanks and sign, leading digits;
// no digits give 0. Values beyond int are clamped instead of overflowing.
int to_int(const std::string& text);

// A decimal number as the standard conversion reads one: optional blanks and
// sign, digits with an optional point and exponent; nothing else ("inf",
// "nan" and hexadecimal are not numbers here). No number gives 0.
double to_decimal(const std::string& text);

}  // namespace wire
