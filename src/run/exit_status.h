// The exit statuses of "ffsload run", which the supervisor of several ports
// reads back from its children.
#pragma once

namespace run {

constexpr int kExitGreen = 0;
constexpr int kExitRed = 1;
constexpr int kExitNoRun = 2;
// The run happened but its log could not be saved as --save asked.
constexpr int kExitNotSaved = 3;

}  // namespace run
