// State shared by the frame writer and the reply reader, private to the link.
#pragma once

#include "link/link.h"

namespace wire {

void set_last_reply_fault(ReplyFault fault);
// Set by the writer when it refuses a request; read once by the next reply wait.
void set_request_refused(bool refused);
bool take_request_refused();
void trace(const TraceEvent& event);
bool tracing();
void count_reply_checksum_mismatch();

}  // namespace wire
