#include "sim/handlers.h"
#include "sim/handset.h"

namespace sim {

std::optional<Reply> answer_nvm_reset(HandsetState&, const Request&) { return refusal(); }

}  // namespace sim
