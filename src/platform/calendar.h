// Calendar time in UTC: what the records store and compare, whatever the
// station's time zone.
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

// Now, in milliseconds since 1970 (UTC): when a message or a record happened.
std::int64_t utc_now_ms();

// The UTC calendar (year, month, day, hour, ...) of a moment given in
// seconds since 1970.
std::tm utc_calendar(std::time_t seconds);

// The moment (seconds since 1970) of a UTC calendar. *calendar is
// normalised on the way, as the C library's mktime does for local time:
// February 30 becomes March 1 or 2, a 25th hour the next day.
std::time_t utc_seconds(std::tm* calendar);

// The station's local calendar of a moment, and in *utc_offset_s how far its
// local time is ahead of UTC then (seconds; negative west of Greenwich).
std::tm local_calendar(std::time_t seconds, long* utc_offset_s);

}  // namespace platform
