// "check": the battery calibration values and the presence and exact length
// of the radio calibration files.
#pragma once

#include <string>

#include "link/link.h"

namespace fs {

constexpr int kStatusBadBatteryCalibration = 500;
constexpr int kLengthAttemptCount = 3;

int checkcalibration(wire::Link& link, const std::string& line);

// 0 when the handset reports exactly `expected` bytes for path within three
// file queries; 2 when it did not; logs one line either way.
int checklength(wire::Link& link, const std::string& path, int expected);

}  // namespace fs
