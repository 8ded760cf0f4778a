#include "sim/handlers.h"
#include "sim/handset.h"

namespace sim {

std::optional<Reply> answer_calibration(HandsetState&, const Request&) { return refusal(); }

}  // namespace sim
