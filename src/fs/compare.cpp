#include "fs/compare.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>

#include "fs/handset_file_read.h"
#include "fs/pc_file.h"
#include "fs/refusals.h"
#include "fs/request.h"
#include "link/command_support.h"
#include "link/link.h"
#include "platform/files.h"
#include "platform/text_format.h"

namespace fs {

namespace {

// Compares the open PC file (pc_size bytes, or negative when unknown) with
// the bytes read from the handset, zero bytes included.
int match_figure(std::FILE* Filename, std::span<const std::uint8_t> handset_bytes, long pc_size) {
  if (!Filename || pc_size < 0 || static_cast<std::size_t>(pc_size) != handset_bytes.size()) {
    return kMatchSizesDiffer;
  }
  std::array<std::uint8_t, kLargestFile> pc_bytes{};
  const std::size_t got = std::fread(pc_bytes.data(), 1, pc_bytes.size(), Filename);
  // A file that shrank or could not be read cannot be compared.
  if (got < handset_bytes.size()) return kMatchSizesDiffer;
  const auto [pc, handset] =
      std::mismatch(pc_bytes.begin(), pc_bytes.begin() + static_cast<std::ptrdiff_t>(got),
                    handset_bytes.begin(), handset_bytes.end());
  if (handset == handset_bytes.end()) return 0;
  return *pc < *handset ? -1 : 1;
}

}  // namespace

int comparefile(wire::Link& link, const ImeiGuard& guard, const std::string& line,
                const std::string& directory, const std::string& handset_name,
                std::string& pc_name) {
  // Without a saved IMEI there is nothing to compare the handset's with.
  if (pc_name.starts_with("IMEI") && guard.IMEI_flag == 0) return 0;
  if (handset_name.empty() || pc_name.empty()) {
    return refuse(link, line, kStatusMissingName,
                  "a handset file name and a PC file name are needed");
  }
  const std::string path = handset_path(directory, handset_name);
  const auto query = file_query_request(path);
  if (!query)
    return refuse(link, line, kStatusTextTooLong, "handset path longer than 33 characters");
  if (names_agree(handset_name, pc_name) && !append_port_suffix(pc_name, link.comport())) {
    return refuse(link, line, kStatusNameTooLongForSuffix,
                  "PC file name too long for its port suffix");
  }
  if (int held = refuse_if_held_elsewhere(link, guard.claims(), line, pc_name)) return held;

  long pc_size = -1;
  const PcFile Filename(std::fopen(pc_name.c_str(), "rb"));
  if (Filename && platform::CVI_GetFileSize(pc_name.c_str(), &pc_size) != 0) pc_size = -1;

  FileFacts facts;
  std::array<std::uint8_t, kLargestFile> handset_bytes{};
  int status = 1;
  int match = 0;
  std::int8_t left = wire::kAttemptCount;
  while (status != 0 && left > 0) {
    status = query_file(link, *query, facts);
    if (status == 0) {
      if (facts.size > kLargestFile) {
        match = kMatchFileTooLarge;
        break;
      }
      status = read_file_blocks(link, path, facts, handset_bytes);
    }
    --left;
  }
  if (match != kMatchFileTooLarge) {
    match = match_figure(
        Filename.get(),
        std::span(handset_bytes).first(std::min<std::size_t>(facts.size, kLargestFile)), pc_size);
  }

  link.log().line(
      platform::strprintf("%s, %dBytes=> %d ; match(%d)", line.c_str(), facts.size, status, match));
  return status + match;
}

}  // namespace fs
