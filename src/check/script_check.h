// Checks one ".tms" script against what the runner will do with it: the
// same line reader, keyword table, word splitting and word limits, and the
// same request builders for the handset paths, so the two cannot disagree.
#pragma once

#include <string>

#include "check/findings.h"

namespace check {

// Checks the script at path (PC files are looked up in the current folder,
// as the run does). With explain, also says for every line what runs.
void check_script(const std::string& path, Report& report, bool explain);

}  // namespace check
