#include "fs/refusals.h"

#include "platform/text_format.h"

namespace fs {

int refuse(wire::Link& link, const std::string& line, int status, const std::string& reason) {
  link.log().line(platform::strprintf("%s  => %d (0): %s", line.c_str(), status, reason.c_str()));
  return status;
}

int refuse_if_held_elsewhere(wire::Link& link, const platform::FileClaims& claims,
                             const std::string& line, const std::string& pc_name) {
  if (auto holder = claims.held_elsewhere(pc_name)) {
    return refuse(link, line, kStatusPcFileHeldElsewhere,
                  platform::strprintf("%s %s", pc_name.c_str(), holder->c_str()));
  }
  return 0;
}

}  // namespace fs
