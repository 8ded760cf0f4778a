// The sender that the panels and the grid run while they are open, when the
// station folder's ffsload.conf sets cfx-broker: started as a child in the
// station folder, stopped in order (SIGTERM: it says EndpointShuttingDown
// and delivers what waits for a few seconds) when the window closes. Where
// a service already serves the folder, the child waits for it and takes
// over when it stops.
//
// The child is watched: one that stops on its own is started again after 1,
// 2, 4 ... s (a minute at most), and each stop is said on stderr with the
// child's own last line, as is a sender that cannot run at all (it stops
// soon after each start), so that messages are never left waiting unseen.
// The same is the operator's notice (notice()), which the front end shows
// until a sender has run for a while again.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/operator_text.h"

namespace cli {

class CfxSenderWhileOpen {
 public:
  struct Watch {
    int poll_ms = 200;
    long first_backoff_ms = 1000;
    long max_backoff_ms = 60000;
    // A child that ran this long was healthy: the back-off starts again.
    long healthy_after_ms = 30000;
    // The operator's notice of a stop stays until the next child has run
    // this long, so that a stop is seen and a sender that cannot run never
    // blinks its notice away at each start.
    long notice_kept_ms = 60000;
  };

  // Starts the sender in `station_folder` ("" for the current one) when that
  // folder's settings ask for one; a problem is said on stderr.
  explicit CfxSenderWhileOpen(const std::string& station_folder = "");
  // Starts and watches `program` with `args` in `folder`: the same watch for
  // any program, so that tests can stand a small one in.
  CfxSenderWhileOpen(std::string program, std::vector<std::string> args, std::string folder,
                     Watch watch);
  ~CfxSenderWhileOpen();
  CfxSenderWhileOpen(const CfxSenderWhileOpen&) = delete;
  CfxSenderWhileOpen& operator=(const CfxSenderWhileOpen&) = delete;

  bool running() const;
  pid_t pid() const;
  // How many times the child was started.
  int starts() const;
  // Why the sender is not running now ("" while it runs): the last stop
  // with its status and last line.
  std::string problem() const;
  // What the operator is told of the sender: "cfx.sender_missing",
  // "cfx.sender_cannot_run" or "cfx.sender_stopped" with why; empty while
  // it runs, or when the station has no sender to run.
  platform::OperatorText notice() const;

 private:
  void begin();
  bool start_child();
  void watch();
  void said(const std::string& text);

  std::string program_;
  std::vector<std::string> args_;
  std::string folder_;
  Watch watch_;
  mutable std::mutex mutex_;
  pid_t pid_ = -1;
  int err_fd_ = -1;
  int starts_ = 0;
  std::string problem_;
  platform::OperatorText notice_;
  std::string last_line_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace cli
