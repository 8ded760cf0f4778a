#include "fs/directory_commands.h"

#include <array>

#include "fs/imei_guard.h"
#include "fs/refusals.h"
#include "fs/request.h"
#include "fs/request_exchange.h"
#include "link/command_support.h"
#include "link/link.h"
#include "platform/text_format.h"

namespace fs {

namespace {

constexpr double kFormatPause = 2.0;  // seconds after every format attempt

// Up to five attempts of one request, then the usual log line.
int exchange_and_log(wire::Link& link, const std::string& line, const FsRequest& request,
                     ReplyLayout layout) {
  auto outcome = wire::retry(wire::kAttemptCount, [&] {
    return exchange_fs_request(link, request, layout, wire::kReplyTimeout);
  });
  wire::log_result(link, line, outcome.status, outcome.attempts_used);
  return outcome.status;
}

}  // namespace

int mkfs(wire::Link& link, ImeiGuard& guard, const std::string& line) {
  const FsRequest first = format_first_request();
  const FsRequest second = format_second_request();
  // The journal notes the format before the handset hears of it: a power cut
  // in the pause that follows must leave the IMEI pending, not forgotten.
  if (ImeiKeeper* keeper = guard.keeper()) {
    std::string why;
    if (const int status = keeper->formatting(&why); status != 0) {
      return refuse(link, line, status, why + "; no format");
    }
  }
  // From the first format request on, the handset may have lost its files,
  // whatever the replies say.
  guard.note_format();
  auto outcome = wire::retry(wire::kAttemptCount, [&] {
    // The second request goes out whatever became of the first.
    const int s1 = exchange_fs_request(link, first, kFormatReply, wire::kReplyTimeout);
    const int s2 = exchange_fs_request(link, second, kFormatReply, wire::kReplyTimeout);
    link.pause(kFormatPause);
    return s1 + s2;
  });
  wire::log_result(link, line, outcome.status, outcome.attempts_used);
  return outcome.status;
}

int changedirectory(wire::Link& link, const std::string& line, const std::string& directory) {
  auto request = directory_request(directory);
  if (!request) {
    return refuse(link, line, kStatusTextTooLong,
                  platform::strprintf("directory longer than %zu characters", kDirectoryArea - 7));
  }
  return exchange_and_log(link, line, *request, kDirectoryReply);
}

int makedirectory(wire::Link& link, const std::string& line, const std::string& name) {
  auto request = make_directory_request(name);
  if (!request) {
    return refuse(link, line, kStatusTextTooLong,
                  platform::strprintf("name longer than %zu characters", kMakeDirectoryArea - 5));
  }
  return exchange_and_log(link, line, *request, kMakeDirectoryReply);
}

int rm(wire::Link& link, const std::string& line, const std::string& directory,
       const std::string& name) {
  auto request = remove_request(handset_path(directory, name));
  if (!request) {
    return refuse(link, line, kStatusTextTooLong,
                  platform::strprintf("handset path longer than %zu characters", kRemoveArea - 4));
  }
  return exchange_and_log(link, line, *request, kRemoveReply);
}

}  // namespace fs
