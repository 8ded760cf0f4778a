// The station checker's look at "ffsload.conf": what the runs would refuse
// (a bad value, a pattern that does not compile) and what they would
// silently go without (an unknown key, often a misspelt one).
#pragma once

#include "check/findings.h"

namespace check {

// Nothing to report, and no file counted, when the station has no "ffsload.conf".
void check_station_settings(Report& report);

}  // namespace check
