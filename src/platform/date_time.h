// The system date and time, as the operator's clock shows
// them (local time). Tests can fix what they report.
#pragma once

#include <ctime>

namespace platform {

int GetSystemDate(int* month, int* day, int* year);
int CVI_GetSystemTime(int* hours, int* minutes, int* seconds);

// Makes the two above report this moment; nullptr returns to the system clock.
void set_fixed_local_time(const std::tm* moment);

}  // namespace platform
