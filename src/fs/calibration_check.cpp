#include "fs/calibration_check.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fs/handset_file_read.h"
#include "fs/refusals.h"
#include "fs/request.h"
#include "link/command_support.h"
#include "link/link.h"
#include "platform/text_format.h"

namespace fs {

namespace {

using wire::kCalibrationRequest;
constexpr std::uint8_t kFirstBatteryValue = 0x32;
constexpr std::uint8_t kSecondBatteryValue = 0x3C;
// Values a handset without battery calibration reports.
constexpr std::uint16_t kUncalibratedFirstValue = 7000;
constexpr std::uint16_t kUncalibratedSecondValue = 0;

struct CalibrationFile {
  std::string_view path;
  int length;
};

constexpr std::array<CalibrationFile, 8> kCalibrationFiles{{
    {"/gsm/rf/afcdac", 2},
    {"/gsm/rf/tx/ramps", 992},
    {"/gsm/rf/tx/levels.gsm", 128},
    {"/gsm/rf/tx/levels.dcs", 128},
    {"/gsm/rf/tx/calchan.all", 128},
    {"/gsm/rf/rx/calchan.all", 68},
    {"/gsm/rf/rx/agcparams.gsm", 8},
    {"/gsm/rf/rx/agcparams.dcs", 8},
}};

// One battery calibration value; nothing when the exchange failed.
std::optional<std::uint16_t> read_battery_value(wire::Link& link, std::uint8_t which,
                                                std::uint8_t& status) {
  const std::array<std::uint8_t, 2> head{which, 0x00};
  std::array<std::uint8_t, 1> reply_head{};
  std::array<std::uint8_t, 2> data{};
  status = link.exchange(kCalibrationRequest, head, {}, data, reply_head, wire::kReplyTimeout);
  if (status != wire::kExchangeOk) return std::nullopt;
  return static_cast<std::uint16_t>(data[0] | (data[1] << 8));
}

}  // namespace

int checkcalibration(wire::Link& link, const std::string&) {
  std::optional<std::uint16_t> first;
  std::optional<std::uint16_t> second;
  const auto outcome = wire::retry(wire::kAttemptCount, [&] {
    std::uint8_t status = wire::kExchangeFailed;
    if (auto value = read_battery_value(link, kFirstBatteryValue, status)) {
      first = value;
      if (auto other = read_battery_value(link, kSecondBatteryValue, status)) second = other;
    }
    return static_cast<int>(status);
  });
  int status = outcome.status;
  if (first == kUncalibratedFirstValue || second == kUncalibratedSecondValue) {
    status = kStatusBadBatteryCalibration;
  }
  link.log().line(platform::strprintf("check cal_bat => %d(%d)", status, outcome.attempts_used));
  if (status != 0) return status;

  for (const auto& file : kCalibrationFiles) {
    status = checklength(link, std::string(file.path), file.length);
    if (status != 0) break;
  }
  return status;
}

int checklength(wire::Link& link, const std::string& path, int expected) {
  const auto query = file_query_request(path);
  if (!query)
    return refuse(link, path, kStatusTextTooLong, "handset path longer than 33 characters");
  FileFacts facts;
  int reported = 0;
  int mismatch = 0;
  const auto outcome = wire::retry(kLengthAttemptCount, [&] {
    const bool answered = query_file(link, *query, facts) == wire::kExchangeOk;
    if (answered) reported = facts.size;
    mismatch = answered && reported == expected ? 0 : 1;
    return mismatch;
  });
  link.log().line(platform::strprintf("%s, %d(%d)Bytes => %d(%d)", path.c_str(), expected, reported,
                                      outcome.status, outcome.attempts_used));
  return outcome.status + mismatch;
}

}  // namespace fs
