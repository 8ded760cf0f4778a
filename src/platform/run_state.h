// The state of a run as the operator reads it beside the run log's colour:
// a word and a sign, so that a result does not depend on telling red from
// green. The front ends draw it; the logic only names it.
#pragma once

namespace platform {

enum class RunState {
  kNone,     // no run yet on this panel or tile: nothing is shown
  kRunning,  // "RUNNING"
  kPass,     // "PASS ✓"
  kFail,     // "FAIL ✗": a red run, and a run that could not start
};

}  // namespace platform
