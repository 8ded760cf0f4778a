#include "link/link.h"

namespace wire {

Link::Link(int port, RunLog* log) : comport_(port), log_(log) {}

std::string_view describe(ReplyFault fault) {
  switch (fault) {
    case ReplyFault::kNone:
      return "complete";
    case ReplyFault::kTimeout:
      return "no reply within the timeout";
    case ReplyFault::kReadError:
      return "the port reported an error";
    case ReplyFault::kNoise:
      return "too much noise before the reply";
    case ReplyFault::kWrongId:
      return "reply to another request";
    case ReplyFault::kRefused:
      return "refused by the handset";
    case ReplyFault::kBadEnd:
      return "broken reply frame";
    case ReplyFault::kRequestRefused:
      return "request too long for a frame";
    case ReplyFault::kBadChecksum:
      return "wrong reply checksum";
  }
  return "unknown";
}

}  // namespace wire
