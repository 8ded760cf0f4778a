#include "fs/readback.h"

#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <span>

#include "commands/command_support.h"
#include "fs/handset_file_read.h"
#include "fs/imei_guard.h"
#include "fs/pc_file.h"
#include "fs/refusals.h"
#include "fs/request.h"
#include "link/link.h"
#include "platform/file_claims.h"
#include "platform/files.h"
#include "platform/run_panel.h"
#include "platform/text_format.h"

char IMEI_flag = 0;

namespace fs {

namespace {

// Writes the PC file through a temporary file renamed into place, so that a
// failed write never leaves a partial file under the real name. The next
// command may format the handset, so the file and the folder entry are on
// the disk before the read-back reports success: a power cut after the
// format cannot take the only copy of an IMEI.
bool write_pc_file(const std::string& name, std::span<const std::uint8_t> bytes) {
  const std::string temporary = name + ".part";
  Filename = platform::create_new_file(temporary);
  if (!Filename) return false;
  platform::note_partial_file(temporary);
  bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), Filename) == bytes.size();
  written = written && std::fflush(Filename) == 0 && platform::sync_file(fileno(Filename));
  written = std::fclose(Filename) == 0 && written;
  Filename = nullptr;
  written = written && std::rename(temporary.c_str(), name.c_str()) == 0;
  if (!written) std::remove(temporary.c_str());
  platform::note_partial_file("");
  return written && platform::sync_folder_of(name);
}

// Creates the PC file, or empties it: what a failed read-back leaves behind.
// Through a temporary file and a rename, so that a name that is a link to
// another folder's file (a station port's folder) is replaced, never the file
// it points to; only a plain file is emptied in place when that fails.
void leave_empty(const std::string& name) {
  if (write_pc_file(name, {})) return;
  struct stat st {};
  if (::lstat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return;
  if (std::FILE* file = std::fopen(name.c_str(), "wb")) std::fclose(file);
}

// A handset without an IMEI file while the PC still holds an 8-byte backup of
// one: an earlier run may have stopped between the format and the write-back.
void point_out_stranded_imei(const std::string& pc_name) {
  long size = 0;
  if (platform::CVI_GetFileSize(pc_name.c_str(), &size) == 0 && size == kImeiFileSize) {
    operator_notice(platform::strprintf(
        "the handset has no IMEI file, but %s holds an 8-byte IMEI from an earlier run: that run "
        "may have stopped between the format and the write-back, and that IMEI is now only on "
        "the PC",
        pc_name.c_str()));
  }
}

int read_back(const std::string& line, const std::string& directory,
              const std::string& handset_name, std::string& pc_name,
              std::string& suffixed_name_out) {
  if (handset_name.empty() || pc_name.empty()) {
    return refuse(line, kStatusMissingName, "a handset file name and a PC file name are needed");
  }
  const std::string path = handset_path(directory, handset_name);
  const auto query = file_query_request(path);
  if (!query) return refuse(line, kStatusTextTooLong, "handset path longer than 33 characters");
  std::string suffixed = pc_name;
  if (!append_port_suffix(suffixed, comport)) {
    return refuse(line, kStatusNameTooLongForSuffix, "PC file name too long for its port suffix");
  }
  // The file this read-back writes stays this run's until the run ends.
  if (auto holder = platform::claim_file(suffixed, comport)) {
    return refuse(
        line, kStatusPcFileHeldElsewhere,
        platform::strprintf("%s is held by the run on %s", suffixed.c_str(), holder->c_str()));
  }

  // An IMEI-named read-back is the backup of the handset's identity: it
  // finds out whether there is one before anything on the PC is touched.
  const bool imei = pc_name.starts_with("IMEI");
  FileFacts facts;
  std::array<std::uint8_t, kLargestFile> buffer{};
  int status = 1;
  int size_error = 0;
  std::int8_t left = commands::kAttemptCount;
  int refusals = 0;
  while (status != 0 && left > 0) {
    status = query_file(*query, facts);
    if (imei) {
      // Only a file of another size, or the handset's own "no such file" at
      // every attempt, means there is no IMEI to keep. A silent or garbled
      // line, or one refusal among answers, is retried: taking it for "no
      // IMEI" would let the format erase the identity.
      if (status != 0 && wire::last_reply_fault() == wire::ReplyFault::kRefused) ++refusals;
      const bool refused_every_time = refusals == commands::kAttemptCount;
      if (refused_every_time || (status == 0 && facts.size != kImeiFileSize)) {
        IMEI_flag = 0;
        suffixed_name_out = suffixed;
        return 0;
      }
      if (status == 0) IMEI_flag = 1;
    }
    if (status == 0) {
      if (facts.size > kLargestFile) {
        size_error = kStatusFileTooLarge;
        break;  // not counted as an attempt
      }
      status = read_file_blocks(path, facts, buffer);
    }
    --left;
  }

  pc_name = suffixed;
  int result = status + size_error;
  bool pc_file_written = true;
  if (result == 0) {
    pc_file_written = write_pc_file(pc_name, std::span(buffer).first(facts.size));
    if (!pc_file_written) result = kStatusPcFileNotWritten;
  }
  if (result != 0) leave_empty(pc_name);

  std::string entry = platform::strprintf("%s, %dBytes=> %d(%d)", line.c_str(), facts.size, result,
                                          commands::kAttemptCount - left);
  if (!pc_file_written) {
    entry += platform::strprintf(": cannot write PC file \"%s\"", pc_name.c_str());
  }
  if (imei && result == 0) imei_guard_note_backup(pc_name, std::span(buffer).first(facts.size));
  platform::append_run_log_line(entry.c_str());
  return result;
}

}  // namespace

int frd(const std::string& line, const std::string& directory, const std::string& handset_name,
        std::string& pc_name) {
  // The flag promises a saved IMEI: any IMEI read-back that ends without one,
  // refused lines included, takes the promise back.
  const bool imei = pc_name.starts_with("IMEI");
  std::string no_imei_name;
  const int result = read_back(line, directory, handset_name, pc_name, no_imei_name);
  if (imei && result != 0) IMEI_flag = 0;
  if (imei && result == 0 && IMEI_flag == 0 && !no_imei_name.empty()) {
    point_out_stranded_imei(no_imei_name);
  }
  return result;
}

}  // namespace fs
