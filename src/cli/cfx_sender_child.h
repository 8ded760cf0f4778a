// The sender that the panels and the grid run while they are open, when the
// station folder's ffsload.conf sets cfx-broker: started as a child in the
// station folder, stopped in order (SIGTERM: it says EndpointShuttingDown
// and delivers what waits for a few seconds) when the window closes. Where
// a service already serves the folder, the child waits for it and takes
// over when it stops.
#pragma once

#include <sys/types.h>

#include <string>

namespace cli {

class CfxSenderWhileOpen {
 public:
  // Starts the sender in `station_folder` ("" for the current one) when that
  // folder's settings ask for one; a problem is said on stderr.
  explicit CfxSenderWhileOpen(const std::string& station_folder = "");
  ~CfxSenderWhileOpen();
  CfxSenderWhileOpen(const CfxSenderWhileOpen&) = delete;
  CfxSenderWhileOpen& operator=(const CfxSenderWhileOpen&) = delete;

  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

}  // namespace cli
