// What must be asked before a unit is loaded, whichever front end runs it:
// the MES's lock on the station (a file the sender keeps in the station
// folder) and, with cfx-validate, the MES's word on this unit. The question
// goes to the MES through "ffsload-cfx validate", a child found beside the
// running program, so that no run links the AMQP library; the run waits at
// most cfx-validate-timeout for its one line.
#pragma once

#include <string>

#include "cfx/cfx_settings.h"
#include "cfx/unit_validation.h"
#include "platform/operator_text.h"
#include "run/run_context.h"

namespace run {

// The sender program that asks the MES.
constexpr const char* kCfxProgram = "ffsload-cfx";

struct RunGate {
  bool refused = false;
  // A refusal ("the MES refused unit SN-1: not at this step (code 42)"), or
  // with refused false a note the run goes on with (advisory), or empty.
  platform::OperatorText text;
};

// Decides before a run of `context` (its station folder's lock and
// ffsload.conf). A unit without a serial is not validated.
RunGate check_before_run(const RunContext& context);

// The MES's verdict as the run says it, for `validate` (required or
// advisory); refused is set for a refusal under required.
RunGate gate_for_verdict(const cfx::MesVerdict& verdict, cfx::Validate validate,
                         const std::string& serial);

// Runs "ffsload-cfx validate" in `station_folder` and reads its line,
// killing it after timeout_ms (a no-answer verdict then).
cfx::MesVerdict ask_mes_through_sender(const std::string& station_folder, const std::string& serial,
                                       int port, int timeout_ms);

}  // namespace run
