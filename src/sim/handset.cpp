#include "sim/handset.h"

#include "sim/request_table.h"

namespace sim {

void Handset::restart() {
  FlashFs& fs = state_.fs;
  fs.open_for_write.reset();
  fs.write_buffer.clear();
  fs.open_for_read.reset();
  fs.read_position = 0;
  fs.format_armed = false;
}

std::optional<Reply> Handset::answer(const Request& request) {
  const RequestEntry* entry = find_request(request.id);
  if (!entry) return std::nullopt;  // unknown requests go unanswered
  return entry->answer(state_, request);
}

}  // namespace sim
