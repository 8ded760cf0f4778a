// A power cut for the end-to-end tests and the kill soak: a process and
// every process under it ended at once (a port's run has a process group of
// its own, so killing a group would miss it).
#pragma once

#include <sys/types.h>

namespace testing_support {

// SIGKILL to `pid` and every process under it, the deepest first; each is
// stopped before its children go, so that none starts another meanwhile.
void kill_process_tree(pid_t pid);

}  // namespace testing_support
