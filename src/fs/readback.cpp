#include "fs/readback.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>

#include "fs/handset_file_read.h"
#include "fs/imei_guard.h"
#include "fs/pc_file.h"
#include "fs/refusals.h"
#include "fs/request.h"
#include "link/command_support.h"
#include "link/link.h"
#include "platform/file_claims.h"
#include "platform/file_names.h"
#include "platform/file_status.h"
#include "platform/files.h"
#include "platform/text_format.h"

namespace fs {

namespace {

// Writes the PC file through a temporary file renamed into place, so that a
// failed write never leaves a partial file under the real name. The next
// command may format the handset, so the file and the folder entry are on
// the disk before the read-back reports success: a power cut after the
// format cannot take the only copy of an IMEI.
bool write_pc_file(const std::string& name, std::span<const std::uint8_t> bytes) {
  const std::string temporary = name + ".part";
  std::FILE* Filename = platform::create_new_file(temporary);
  if (!Filename) return false;
  platform::note_partial_file(temporary);
  bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), Filename) == bytes.size();
  written = written && platform::sync_stream(Filename);
  written = std::fclose(Filename) == 0 && written;
  written = written && platform::replace_file(temporary, name);
  if (!written) platform::remove_file(temporary);
  platform::note_partial_file("");
  return written && platform::sync_folder_of(name);
}

// Creates the PC file, or empties it: what a failed read-back leaves behind.
// Through a temporary file and a rename, so that a name that is a link to
// another folder's file (a station port's folder) is replaced, never the file
// it points to; only a plain file is emptied in place when that fails.
void leave_empty(const std::string& name) {
  if (write_pc_file(name, {})) return;
  const platform::PathKind kind = platform::path_kind_no_follow(name);
  if (kind != platform::PathKind::kNone && kind != platform::PathKind::kPlainFile) return;
  if (std::FILE* file = std::fopen(name.c_str(), "wb")) std::fclose(file);
}

std::string imei_hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  for (std::uint8_t b : bytes) text += platform::strprintf("%02x", b);
  return text;
}

bool holds_pending_imei(const std::string& pc_name, const std::vector<PendingImei>& pending) {
  std::array<std::uint8_t, kImeiFileSize + 1> bytes{};
  std::size_t got = 0;
  if (std::FILE* file = std::fopen(pc_name.c_str(), "rb")) {
    got = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  const std::string absolute = platform::absolute_path(pc_name);
  for (const PendingImei& p : pending) {
    if (p.pc_file == pc_name || p.pc_file == absolute) return true;
    if (got == p.imei.size() && std::equal(p.imei.begin(), p.imei.end(), bytes.begin()))
      return true;
  }
  return false;
}

// What every step of a read-back works with: the run's link (its log and
// notices too) and its IMEI guard.
struct Run {
  wire::Link& link;
  ImeiGuard& guard;
  ImeiKeeper* keeper() const { return guard.keeper(); }
  void notice(const platform::OperatorText& text) { link.log().notice(text); }
};

// The handset on the fixture answered with its own IMEI: a pending one that
// matches was written back after all; the others wait for their handsets.
void sort_out_pending(Run& run, const std::vector<PendingImei>& pending,
                      std::span<const std::uint8_t> handset_imei) {
  ImeiKeeper* keeper = run.keeper();
  for (const PendingImei& p : pending) {
    if (std::equal(p.imei.begin(), p.imei.end(), handset_imei.begin(), handset_imei.end())) {
      keeper->found_on_handset(p);
      run.notice({"imei.found_written_back", {imei_hex(p.imei), std::to_string(p.port)}});
    } else {
      run.notice({"imei.handset_has_own", {imei_hex(p.imei), std::to_string(p.port)}});
    }
  }
}

enum class PendingOutcome { kNoneRestored, kRestored, kUnanswered, kConflict, kNotWritten };

// The PC file first, then the journal's note that this run holds the IMEI
// now: a crash in between leaves it pending, never lost.
bool restore_pending(Run& run, const PendingImei& p, const std::string& pc_name, RestoreBy by,
                     std::string* why) {
  if (!write_pc_file(pc_name, p.imei)) {
    *why = "cannot make the pending IMEI this run's backup in " + pc_name;
    return false;
  }
  return run.keeper()->restore(p, pc_name, by, why);
}

struct Settled {
  PendingOutcome outcome = PendingOutcome::kNoneRestored;
  std::vector<std::uint8_t> restored;
  std::vector<PendingImei> candidates;  // those asked about
  std::string why;                      // for kNotWritten and kConflict
};

bool same_imei(const std::vector<PendingImei>& entries) {
  return std::all_of(entries.begin(), entries.end(),
                     [&](const PendingImei& p) { return p.imei == entries.front().imei; });
}

Settled restored(Run& run, const PendingImei& p, const std::string& pc_name, RestoreBy by) {
  Settled s;
  if (!restore_pending(run, p, pc_name, by, &s.why)) {
    s.outcome = PendingOutcome::kNotWritten;
    return s;
  }
  s.outcome = PendingOutcome::kRestored;
  s.restored = p.imei;
  return s;
}

Settled conflict(Run& run, platform::OperatorText notice, std::string why) {
  run.notice(notice);
  Settled s;
  s.outcome = PendingOutcome::kConflict;
  s.why = std::move(why);
  return s;
}

// The answer named an IMEI (restore=HEX): it is this handset's unless the
// scanned serial says otherwise, and then nothing is guessed.
Settled settle_named(Run& run, const std::vector<PendingImei>& pending,
                     const std::vector<PendingImei>& same_unit,
                     const std::vector<std::uint8_t>& named, const std::string& serial,
                     const std::string& pc_name) {
  const auto entry = std::find_if(pending.begin(), pending.end(),
                                  [&](const PendingImei& p) { return p.imei == named; });
  if (entry == pending.end()) {
    // Settled by another port's run since the run started.
    Settled s;
    s.outcome = PendingOutcome::kConflict;
    s.why = "the IMEI named, " + imei_hex(named) + ", is not pending in this station any more";
    return s;
  }
  if (!serial.empty()) {
    if (!same_unit.empty() && std::none_of(same_unit.begin(), same_unit.end(),
                                           [&](const PendingImei& p) { return p.imei == named; })) {
      return conflict(
          run, {"imei.conflict_named", {serial, imei_hex(same_unit.front().imei), imei_hex(named)}},
          "the unit's serial and the IMEI named disagree");
    }
    if (same_unit.empty() && !entry->unit_serial.empty()) {
      return conflict(run, {"imei.conflict_serial", {serial, imei_hex(named), entry->unit_serial}},
                      "the unit's serial and the IMEI named disagree");
    }
  }
  Settled s = restored(run, *entry, pc_name, RestoreBy::kNamed);
  // An older run of the same unit with the same IMEI is settled with it.
  if (s.outcome == PendingOutcome::kRestored) {
    for (const PendingImei& p : same_unit) {
      if (p.run_uid != entry->run_uid && p.imei == named) {
        std::string ignored;
        run.keeper()->restore(p, pc_name, RestoreBy::kNamed, &ignored);
      }
    }
    run.notice({"imei.restored", {imei_hex(named), pc_name}});
  }
  return s;
}

// The handset has no valid IMEI file and IMEIs are pending in the station,
// whichever port's run left them. A pending IMEI whose run scanned this
// unit's serial on this port is this handset's; on another port the handset
// moved, or the wrong label was scanned, and a person confirms it. One whose
// run scanned another serial is not this handset's; about the others (no
// serial to go by) the operator says, newest first, whether this is their
// handset. An answer that names an IMEI is taken, unless the serial disagrees.
Settled settle_pending(Run& run, const std::vector<PendingImei>& pending,
                       const std::string& pc_name) {
  ImeiKeeper* keeper = run.keeper();
  const std::string serial = keeper->unit_serial();
  std::vector<PendingImei> same_unit;
  std::vector<PendingImei> unknown;
  for (const PendingImei& p : pending) {
    if (!serial.empty() && p.unit_serial == serial) {
      same_unit.push_back(p);
    } else if (serial.empty() || p.unit_serial.empty()) {
      unknown.push_back(p);
    }
  }
  if (const auto named = keeper->named_imei()) {
    return settle_named(run, pending, same_unit, *named, serial, pc_name);
  }
  Settled s;
  if (!same_unit.empty() && same_imei(same_unit)) {
    const PendingImei& newest = same_unit.front();
    const auto away = std::find_if(same_unit.begin(), same_unit.end(), [&](const PendingImei& p) {
      return p.port != run.link.comport();
    });
    RestoreBy by = RestoreBy::kSerial;
    if (away != same_unit.end()) {
      PendingImei asked = *away;
      asked.moved_to_port = run.link.comport();
      s.candidates = {asked};
      switch (keeper->ask(asked, s.candidates)) {
        case PendingAnswer::kRestore:
          by = RestoreBy::kAnswer;
          break;
        case PendingAnswer::kNoAnswer:
          return conflict(
              run,
              {"imei.moved_unanswered", {serial, imei_hex(asked.imei), std::to_string(asked.port)}},
              "the unit's IMEI is pending from another port and nobody confirmed this is it");
        default:
          // Its serial says it is that unit: no IMEI is kept aside on a No,
          // and nothing is formatted until someone finds out which it is.
          return conflict(
              run,
              {"imei.moved_denied", {serial, imei_hex(asked.imei), std::to_string(asked.port)}},
              "the unit's IMEI is pending from another port and the answer was No");
      }
    }
    // The newest run of this unit holds its IMEI; an older one's is the same.
    s = restored(run, newest, pc_name, by);
    if (s.outcome != PendingOutcome::kRestored) return s;
    for (std::size_t i = 1; i < same_unit.size(); ++i) {
      std::string ignored;
      keeper->restore(same_unit[i], pc_name, by, &ignored);
    }
    run.notice({"imei.pending_for_unit", {describe_pending(newest), serial, pc_name}});
    return s;
  }
  // One unit with two IMEIs: only a person can say which is its own.
  s.candidates = same_unit.empty() ? unknown : same_unit;
  for (const PendingImei& p : s.candidates) {
    switch (keeper->ask(p, s.candidates)) {
      case PendingAnswer::kNoAnswer:
        s.outcome = PendingOutcome::kUnanswered;
        return s;
      case PendingAnswer::kKeepAside:
        if (s.candidates.size() > 1) {
          // With several pending, No says only that this is not their
          // handset: each still waits for its own.
          continue;
        }
        keeper->keep_aside(p);
        run.notice({"imei.kept_aside", {imei_hex(p.imei)}});
        continue;
      case PendingAnswer::kNotThisOne:
        continue;
      case PendingAnswer::kRestore: {
        std::vector<PendingImei> candidates = std::move(s.candidates);
        s = restored(run, p, pc_name, RestoreBy::kAnswer);
        s.candidates = std::move(candidates);
        if (s.outcome == PendingOutcome::kRestored) {
          run.notice({"imei.restored", {imei_hex(p.imei), pc_name}});
        }
        return s;
      }
    }
  }
  return s;
}

// Why nothing was formatted, and what answers the question next time.
platform::OperatorText unanswered_notice(const std::vector<PendingImei>& candidates) {
  if (candidates.size() <= 1) return {"imei.unanswered_one", {}};
  std::string pending;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    pending += (i ? "; " : "") + describe_pending(candidates[i]);
  }
  return {"imei.unanswered_many", {std::to_string(candidates.size()), pending}};
}

int read_back(Run& run, const std::string& line, const std::string& directory,
              const std::string& handset_name, std::string& pc_name) {
  wire::Link& link = run.link;
  ImeiGuard& guard = run.guard;
  if (handset_name.empty() || pc_name.empty()) {
    return refuse(link, line, kStatusMissingName,
                  "a handset file name and a PC file name are needed");
  }
  const std::string path = handset_path(directory, handset_name);
  const auto query = file_query_request(path);
  if (!query)
    return refuse(link, line, kStatusTextTooLong, "handset path longer than 33 characters");
  std::string suffixed = pc_name;
  if (!append_port_suffix(suffixed, link.comport())) {
    return refuse(link, line, kStatusNameTooLongForSuffix,
                  "PC file name too long for its port suffix");
  }
  // The file this read-back writes stays this run's until the run ends.
  if (auto holder = guard.claims().claim(suffixed, link.comport())) {
    return refuse(link, line, kStatusPcFileHeldElsewhere,
                  platform::strprintf("%s %s", suffixed.c_str(), holder->c_str()));
  }

  // An IMEI-named read-back is the backup of the handset's identity: it
  // finds out whether there is one before anything on the PC is touched.
  const bool imei = pc_name.starts_with("IMEI");
  ImeiKeeper* keeper = imei ? guard.keeper() : nullptr;
  if (keeper) {
    std::string why;
    if (const int status = keeper->blocked(&why); status != 0) {
      guard.IMEI_flag = 0;
      return refuse(link, line, status, why);
    }
  }
  const std::vector<PendingImei> pending = keeper ? keeper->pending() : std::vector<PendingImei>{};
  FileFacts facts;
  std::array<std::uint8_t, kLargestFile> buffer{};
  int status = 1;
  int size_error = 0;
  std::int8_t left = wire::kAttemptCount;
  int refusals = 0;
  while (status != 0 && left > 0) {
    status = query_file(link, *query, facts);
    if (imei) {
      // Only a file of another size, or the handset's own "no such file" at
      // every attempt, means there is no IMEI to keep. A silent or garbled
      // line, or one refusal among answers, is retried: taking it for "no
      // IMEI" would let the format erase the identity.
      if (status != 0 && link.last_reply_fault() == wire::ReplyFault::kRefused) ++refusals;
      const bool refused_every_time = refusals == wire::kAttemptCount;
      // No IMEI file, or one torn to another size: either way the handset
      // holds no identity of its own, and may be the handset of a pending one.
      const bool no_valid_imei = refused_every_time || (status == 0 && facts.size != kImeiFileSize);
      if (no_valid_imei && keeper) {
        // Another port's journal that cannot be read may hold this handset's IMEI.
        std::string why;
        if (const int unknown = keeper->unknown_elsewhere(&why); unknown != 0) {
          guard.IMEI_flag = 0;
          return refuse(link, line, unknown, why);
        }
      }
      if (no_valid_imei && !pending.empty()) {
        const Settled settled = settle_pending(run, pending, suffixed);
        switch (settled.outcome) {
          case PendingOutcome::kUnanswered:
            guard.IMEI_flag = 0;
            run.notice(unanswered_notice(settled.candidates));
            return refuse(link, line, kStatusPendingImeiUnanswered,
                          settled.candidates.size() > 1
                              ? "IMEIs are pending and nobody said which is this handset's"
                              : "an IMEI is pending and nobody said whether this is its handset");
          case PendingOutcome::kConflict:
            guard.IMEI_flag = 0;
            return refuse(link, line, kStatusPendingImeiUnanswered, settled.why);
          case PendingOutcome::kNotWritten:
            guard.IMEI_flag = 0;
            return refuse(link, line, kStatusPcFileNotWritten, settled.why);
          case PendingOutcome::kRestored:
            keeper->pending_checked();
            guard.IMEI_flag = 1;
            pc_name = suffixed;
            guard.note_backup(pc_name, settled.restored);
            return 0;
          case PendingOutcome::kNoneRestored:
            keeper->pending_checked();
            break;
        }
      }
      if (no_valid_imei) {
        guard.IMEI_flag = 0;
        return 0;
      }
      if (status == 0) guard.IMEI_flag = 1;
    }
    if (status == 0) {
      if (facts.size > kLargestFile) {
        size_error = kStatusFileTooLarge;
        break;  // not counted as an attempt
      }
      status = read_file_blocks(link, path, facts, buffer);
    }
    --left;
  }

  pc_name = suffixed;
  int result = status + size_error;
  bool pc_file_written = true;
  bool journal_written = true;
  if (result == 0) {
    if (imei && !pending.empty()) {
      sort_out_pending(run, pending, std::span(buffer).first(facts.size));
      keeper->pending_checked();
    }
    pc_file_written = write_pc_file(pc_name, std::span(buffer).first(facts.size));
    if (!pc_file_written) result = kStatusPcFileNotWritten;
    // The journal keeps the IMEI beyond this process before a format can
    // follow; if it cannot, no format may.
    if (result == 0 && keeper && !keeper->backed_up(pc_name, std::span(buffer).first(facts.size))) {
      journal_written = false;
      result = kStatusJournalNotWritten;
    }
  }
  // A failed read-back empties its PC file, except one that holds a pending
  // IMEI: that may be the only copy of another handset's identity.
  if (result != 0 && !(imei && holds_pending_imei(pc_name, pending))) leave_empty(pc_name);

  std::string entry = platform::strprintf("%s, %dBytes=> %d(%d)", line.c_str(), facts.size, result,
                                          wire::kAttemptCount - left);
  if (!pc_file_written) {
    entry += platform::strprintf(": cannot write PC file \"%s\"", pc_name.c_str());
  }
  if (!journal_written) entry += ": cannot write the run journal";
  if (imei && result == 0) guard.note_backup(pc_name, std::span(buffer).first(facts.size));
  link.log().line(entry);
  return result;
}

}  // namespace

int frd(wire::Link& link, ImeiGuard& guard, const std::string& line, const std::string& directory,
        const std::string& handset_name, std::string& pc_name) {
  // The flag promises a saved IMEI: any IMEI read-back that ends without one,
  // refused lines included, takes the promise back.
  const bool imei = pc_name.starts_with("IMEI");
  Run run{link, guard};
  const int result = read_back(run, line, directory, handset_name, pc_name);
  if (imei && result != 0) guard.IMEI_flag = 0;
  return result;
}

}  // namespace fs
