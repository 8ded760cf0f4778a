#include "link/command_support.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "link/link.h"
#include "link/request_ids.h"
#include "platform/text_format.h"

namespace wire {

RetryOutcome retry(int attempt_count, const std::function<int()>& attempt) {
  int status = 1;
  int left = attempt_count;
  while (status != 0 && left > 0) {
    status = attempt();
    --left;
  }
  return {status, attempt_count - left};
}

void log_result(Link& link, const std::string& line, int status, int attempts_used) {
  link.log().line(platform::strprintf("%s  => %d (%d)", line.c_str(), status, attempts_used));
}

int not_supported(Link& link, const std::string& line) {
  link.log().line(platform::strprintf("%s  => not supported", line.c_str()));
  return kStatusNotSupported;
}

int to_int(const std::string& text) {
  errno = 0;
  long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

double to_decimal(const std::string& text) {
  std::size_t i = 0;
  auto digit = [&](std::size_t k) {
    return k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]));
  };
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false;
  while (digit(i)) ++i, digits = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (digit(i)) ++i, digits = true;
  }
  if (!digits) return 0.0;
  std::size_t end = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t e = i + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (digit(e)) {
      while (digit(e)) ++e;
      end = e;
    }
  }
  return std::strtod(text.substr(start, end - start).c_str(), nullptr);
}

void send_test_mode_request(Link& link, std::uint8_t mode) {
  const std::uint8_t head[2] = {mode, 0x00};
  link.send_packet(kTestModeRequest, head, {});
}

}  // namespace wire
