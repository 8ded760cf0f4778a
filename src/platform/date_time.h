// The system date and time, as the operator's clock shows
// them (local time). Tests can fix what they report.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace platform {

int GetSystemDate(int* month, int* day, int* year);
int CVI_GetSystemTime(int* hours, int* minutes, int* seconds);

// A moment (milliseconds since 1970, UTC) as the operator's clock shows it:
// "2026-12-08 14:02:11".
std::string local_date_time_text(std::int64_t utc_ms);

// Makes the two above report this moment; nullptr returns to the system clock.
void set_fixed_local_time(const std::tm* moment);

}  // namespace platform
