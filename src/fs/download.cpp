#include "fs/download.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "fs/imei_guard.h"
#include "fs/pc_file.h"
#include "fs/refusals.h"
#include "fs/request.h"
#include "fs/request_exchange.h"
#include "link/command_support.h"
#include "link/link.h"
#include "platform/files.h"
#include "platform/text_format.h"
#include "platform/user_interface.h"

namespace fs {

namespace {

constexpr double kRetryPause = 0.5;            // seconds after a failed attempt
constexpr std::uint8_t kTestModeAgain = 0x01;  // test-mode entry after a failed attempt

using DownloadBuffer = std::array<std::uint8_t, kLargestFile>;

// Reads the whole PC file from its first byte. False unless exactly `size`
// bytes arrived and nothing follows them: a short read must never go out as
// file contents, nor the first `size` bytes of a file rewritten longer after
// its size was taken.
bool read_pc_file(std::FILE* Filename, DownloadBuffer& buffer, std::size_t size) {
  if (!Filename || size > buffer.size()) return false;
  if (std::fseek(Filename, 0, SEEK_SET) != 0) return false;
  std::clearerr(Filename);
  return std::fread(buffer.data(), 1, size, Filename) == size && std::fgetc(Filename) == EOF;
}

bool is_imei_name(std::string_view pc_name) {
  return pc_name.starts_with("IMEI");
}

}  // namespace

int fwr(wire::Link& link, std::FILE* Filename, int size) {
  if (size < 0 || static_cast<std::size_t>(size) > kLargestFile) return kStatusPcFileTooLarge;
  DownloadBuffer buffer{};
  const auto length = static_cast<std::size_t>(size);
  if (!read_pc_file(Filename, buffer, length)) return kStatusShortRead;

  for (std::size_t offset = 0; offset < length; offset += kWriteChunk) {
    const std::size_t m = std::min(kWriteChunk, length - offset);
    auto request = write_request(std::span(buffer).subspan(offset, m));
    const int status = exchange_fs_request(link, *request, kWriteReply, wire::kReplyTimeout);
    if (status != 0) return status;  // no further chunk and no close request
  }
  return exchange_fs_request(link, close_request(), kCloseReply, wire::kReplyTimeout);
}

int writefile(wire::Link& link, ImeiGuard& guard, const std::string& line,
              const std::string& directory, const std::string& handset_name, std::string& pc_name) {
  // Identity files go back only after a read-back found one on this handset.
  if (is_imei_name(pc_name) && guard.IMEI_flag == 0) return 0;
  // Without a PC name the suffix rule would turn "" into "_1" on port 1.
  if (handset_name.empty() || pc_name.empty()) {
    return refuse(link, line, kStatusMissingName,
                  "a handset file name and a PC file name are needed");
  }

  auto open = open_request(handset_path(directory, handset_name));
  if (!open) {
    return refuse(link, line, kStatusTextTooLong,
                  platform::strprintf("handset path longer than %zu characters", kOpenArea - 3));
  }

  if (names_agree(handset_name, pc_name) && !append_port_suffix(pc_name, link.comport())) {
    return refuse(link, line, kStatusNameTooLongForSuffix,
                  platform::strprintf("PC name longer than %zu characters takes no suffix",
                                      kLongestSuffixedName));
  }

  if (int held = refuse_if_held_elsewhere(link, guard.claims(), line, pc_name)) return held;

  const PcFile Filename(std::fopen(pc_name.c_str(), "rb"));
  if (!Filename) {
    platform::ErrorPopup({"file.cannot_open", {}});
    return kStatusMissingPcFile;
  }

  long size = 0;
  if (platform::CVI_GetFileSize(pc_name.c_str(), &size) < 0 || size < 0) {
    return refuse(link, line, kStatusSizeUnknown,
                  platform::strprintf("size of %s cannot be read", pc_name.c_str()));
  }
  if (static_cast<unsigned long>(size) > kLargestFile) {
    return refuse(link, line, kStatusPcFileTooLarge,
                  platform::strprintf("%ld bytes, more than %zu", size, kLargestFile));
  }
  // A handset's identity is 8 bytes: anything else (an empty file left by a
  // failed read-back, a file edited by hand) must never reach the handset.
  if (is_imei_name(pc_name) && size != kImeiFileSize) {
    return refuse(link, line, kStatusImeiFileSize,
                  platform::strprintf("%s holds %ld bytes; an IMEI file holds %d", pc_name.c_str(),
                                      size, kImeiFileSize));
  }
  // Read it once before the handset hears of it: a file that does not deliver
  // its size never opens (and so never truncates) a handset file.
  DownloadBuffer probe{};
  if (!read_pc_file(Filename.get(), probe, static_cast<std::size_t>(size))) {
    return refuse(link, line, kStatusShortRead,
                  platform::strprintf("%s did not give exactly %ld bytes", pc_name.c_str(), size));
  }

  int status = 1;
  int left = wire::kAttemptCount;
  while (status != 0 && left > 0) {
    status = exchange_fs_request(link, *open, kOpenReply, wire::kReplyTimeout);
    if (status == 0) status = fwr(link, Filename.get(), static_cast<int>(size));
    --left;
    // The PC file, not the line, failed: another attempt would fail alike.
    if (status == kStatusShortRead) break;
    if (status != 0) {
      wire::send_test_mode_request(link, kTestModeAgain);
      link.pause(kRetryPause);
    }
  }

  std::string result =
      platform::strprintf("%s , %dbytes => %d (%d)", line.c_str(), static_cast<int>(size), status,
                          wire::kAttemptCount - left);
  if (status == kStatusShortRead) result += ": the PC file changed size during the download";
  if (status == 0 && is_imei_name(pc_name)) {
    guard.note_restore();
    if (ImeiKeeper* keeper = guard.keeper()) keeper->written_back();
  }
  link.log().line(result);
  return status;
}

}  // namespace fs
