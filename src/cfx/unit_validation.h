// The MES's word before a unit is loaded: the ValidateUnitsRequest a
// station sends straight to the MES endpoint, the reading of its answer, and
// the one line in which "ffsload-cfx validate" hands the verdict to the run
// that asked for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cfx/envelope.h"

namespace cfx {

struct ValidationAsk {
  std::string handle;      // the station's
  std::string mes_handle;  // the MES endpoint's (cfx-mes)
  std::string serial;
  int port = 0;  // the lane and the unit's position
};

// The request, with a new RequestID ("REQUEST-<guid>").
Envelope validate_units_request(const ValidationAsk& ask, std::int64_t now_ms);

struct MesVerdict {
  enum class Kind {
    kPassed,    // Result.Result Success and PrimaryResult.Result Passed
    kRefused,   // any other answer: the MES's message and code
    kNoAnswer,  // nothing within the timeout
    kFailed,    // the MES could not be asked (unreachable, bad settings)
  };
  Kind kind = Kind::kFailed;
  long code = 0;
  std::string message;
};

// Reads a reply's envelope; nullopt when it is not the reply to request_id
// (another request's answer, which the asker ignores).
std::optional<MesVerdict> read_validate_reply(const std::string& json,
                                              const std::string& request_id);

// "passed", "refused\tCODE\tMESSAGE", "no-answer\tWHY", "failed\tWHY": one
// line, tabs and line breaks of the texts written as spaces.
std::string verdict_line(const MesVerdict& verdict);
// The verdict of such a line; kFailed with the line for anything else.
MesVerdict parse_verdict_line(const std::string& line);

}  // namespace cfx
