#include "sim/handlers.h"
#include "sim/handset.h"

namespace sim {

std::optional<Reply> answer_parameters(HandsetState&, const Request&) { return refusal(); }

}  // namespace sim
