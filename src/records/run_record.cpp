#include "records/run_record.h"

#include <cstdio>
#include <ctime>
#include <random>

#include "platform/calendar.h"
#include "platform/this_process.h"
#include "text/station_text.h"

namespace records {

std::string iso8601_utc(std::int64_t ms) {
  std::int64_t seconds = ms / 1000;
  std::int64_t millis = ms % 1000;
  if (millis < 0) {
    millis += 1000;
    --seconds;
  }
  const std::time_t t = static_cast<std::time_t>(seconds);
  const std::tm utc = platform::utc_calendar(t);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(millis));
  return text;
}

std::optional<std::int64_t> parse_iso8601_utc(const std::string& text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millis = 0;
  int used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3dZ%n", &year, &month, &day, &hour,
                  &minute, &second, &millis, &used) != 7 ||
      used != static_cast<int>(text.size())) {
    return std::nullopt;
  }
  std::tm utc{};
  utc.tm_year = year - 1900;
  utc.tm_mon = month - 1;
  utc.tm_mday = day;
  utc.tm_hour = hour;
  utc.tm_min = minute;
  utc.tm_sec = second;
  return static_cast<std::int64_t>(platform::utc_seconds(&utc)) * 1000 + millis;
}

std::string hex_bytes(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0x0F];
  }
  return hex;
}

std::string make_uid(const std::string& station, std::int64_t started_at_ms) {
  std::random_device entropy;
  const std::uint64_t random = (static_cast<std::uint64_t>(entropy()) << 32) ^ entropy();
  char text[80];
  std::snprintf(text, sizeof text, "-%ld-%lld-%016llx", platform::process_id(),
                static_cast<long long>(started_at_ms), static_cast<unsigned long long>(random));
  return station + text;
}

RunRecord with_utf8_text(RunRecord r) {
  for (std::string* field : {&r.uid, &r.station, &r.device, &r.customer, &r.script, &r.ma_no,
                             &r.outcome, &r.log, &r.tool_version}) {
    *field = text::utf8_text(*field);
  }
  for (std::optional<std::string>* field :
       {&r.imei, &r.failed_text, &r.imei_fate, &r.unit_serial, &r.operator_id, &r.fixture}) {
    if (*field) **field = text::utf8_text(**field);
  }
  return r;
}

}  // namespace records
