#include "platform/this_process.h"

#include <unistd.h>

#include <climits>

namespace platform {

std::string host_name() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

long process_id() {
  return static_cast<long>(::getpid());
}

}  // namespace platform
