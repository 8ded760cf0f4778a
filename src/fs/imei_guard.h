// What one run has done to the handset's identity: whether its IMEI was
// backed up to a PC file, whether the handset was formatted after that, and
// whether the IMEI went back; and the PC files the run holds, so that no
// other station's run takes them. A front end that is asked to stop a run
// uses this to finish the write-back first, and to say which PC file holds
// the IMEI when a handset is left without it.
#pragma once

#include <array>
#include <csignal>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/file_claims.h"
#include "platform/operator_text.h"

namespace fs {

class ImeiKeeper;

class ImeiGuard {
 public:
  // `imei_flag` is the front end's IMEI_flag, which outlives the run.
  explicit ImeiGuard(char& imei_flag) : IMEI_flag(imei_flag) {}
  ImeiGuard(const ImeiGuard&) = delete;
  ImeiGuard& operator=(const ImeiGuard&) = delete;

  // 1 after a read-back of an "IMEI..." PC file found an 8-byte handset file
  // and saved it, 0 otherwise. It keeps its value from one run to the next
  // on the same port, as the station's front end keeps the port: so it lives
  // with the front end, not with the run.
  char& IMEI_flag;

  // What makes the IMEI outlive the process (the run's journal); none by default.
  void set_keeper(ImeiKeeper* keeper) { keeper_ = keeper; }
  ImeiKeeper* keeper() const { return keeper_; }

  // The PC files this run wrote by read-back, held until the run ends.
  platform::FileClaims& claims() { return claims_; }
  const platform::FileClaims& claims() const { return claims_; }

  // Forgets what an earlier run did (the runner calls it when a run starts);
  // the claims stay until released.
  void reset();

  // A read-back saved the handset's 8-byte IMEI file into pc_file.
  void note_backup(const std::string& pc_file, std::span<const std::uint8_t> bytes);
  // The handset's flash file system was formatted.
  void note_format();
  // An IMEI file was written back to the handset.
  void note_restore();

  // True from a format that follows a backup until the write-back: the
  // handset then holds no IMEI and the only copy is the backup's PC file.
  // A signal handler may call it.
  bool at_risk() const { return formatted_after_backup_ && !restored_; }
  // The PC file of this run's IMEI backup; empty when none was taken.
  const std::string& backup_file() const { return backup_file_; }
  // The same, as a signal handler may read it.
  const char* backup_file_for_signal() const { return backup_name_.data(); }
  // The IMEI bytes this run read back, if it read one.
  const std::optional<std::vector<std::uint8_t>>& read_back() const { return read_back_; }

 private:
  std::string backup_file_;
  std::optional<std::vector<std::uint8_t>> read_back_;
  // Read by a signal handler that ends the process at once: flags it can
  // read whole, and the backup's name in a fixed buffer set before the format.
  volatile std::sig_atomic_t formatted_after_backup_ = 0;
  volatile std::sig_atomic_t restored_ = 0;
  std::array<char, 256> backup_name_{};
  ImeiKeeper* keeper_ = nullptr;
  platform::FileClaims claims_;
};

// An IMEI that a run on this port backed up and formatted away without a
// confirmed write-back: the process that ran it may have died (a power cut,
// kill -9), so only a journal on disk still knows it.
struct PendingImei {
  std::string run_uid;             // the run that backed it up
  std::int64_t started_at_ms = 0;  // when that run started (UTC)
  int port = 0;
  std::vector<std::uint8_t> imei;  // the 8 bytes read back
  std::string pc_file;             // where that run saved them
  // What tells its handset apart from another's, as far as that run knew.
  std::string unit_serial;  // "" when none was scanned
  std::string customer;
  std::string operator_id;
  std::string front_end;
  std::string journal;  // the journal that keeps it: the keeper's, to settle it there
  // The port a unit of the same serial is on now, when that is not the port
  // where its run stopped: the question then asks whether it moved (0: not so).
  int moved_to_port = 0;
};

// How a pending IMEI came to be this handset's: its scanned serial matched on
// the port where its run stopped, a person answered the question, or the
// answer named it (restore=HEX).
enum class RestoreBy { kSerial, kAnswer, kNamed };

// The operator's answer about a pending IMEI while the handset on the
// fixture has no valid IMEI file: it is that handset (restore), it is not
// and the IMEI is kept aside for good (the only one pending), it is not and
// the IMEI waits for its own handset (one of several pending, or a unit
// moved from another port), or nobody answered (the run must stop before
// any format).
enum class PendingAnswer { kRestore, kKeepAside, kNotThisOne, kNoAnswer };

// What makes the handset's identity outlive the process. The front end's run
// installs one (a journal on disk); without one nothing is durable beyond
// the PC file itself. Every "true" means flushed to disk, a backup at the
// latest together with the next step that puts the IMEI at risk.
class ImeiKeeper {
 public:
  virtual ~ImeiKeeper() = default;
  // A read-back saved the handset's IMEI into pc_file; false when it cannot
  // be kept (the read-back then fails before any format). Until formatting()
  // the IMEI is still on the handset, so the backup may wait to be flushed
  // with the format's own note.
  virtual bool backed_up(const std::string& pc_file, std::span<const std::uint8_t> imei) = 0;
  // Non-zero (a status, with *why) when what the keeper knows cannot be
  // trusted (a damaged or unreadable journal): neither an IMEI read-back
  // nor a format may then go on, since a pending IMEI may be hidden in it.
  virtual int blocked(std::string* why) = 0;
  // The first format request is about to go out; a non-zero status (with
  // *why) stops it: the keeper cannot note it, cannot be trusted, or holds
  // pending IMEIs that this run has not checked against the handset.
  virtual int formatting(std::string* why) = 0;
  // The handset confirmed the IMEI write-back.
  virtual void written_back() = 0;
  // The IMEIs pending in the station, whichever port's run left them, newest first.
  virtual std::vector<PendingImei> pending() = 0;
  // Non-zero (a status, with *why) when another port's journal cannot be
  // read or told alive: a pending IMEI of this handset may be hidden there.
  virtual int unknown_elsewhere(std::string* /*why*/) { return 0; }
  // The IMEI that the front end's answer names before any question
  // (restore=HEX), if it names one.
  virtual std::optional<std::vector<std::uint8_t>> named_imei() const { return std::nullopt; }
  // This run's unit serial, "" when none was scanned.
  virtual std::string unit_serial() const = 0;
  // The handset's IMEI was compared with every pending one, or the pending
  // ones were settled or ruled out: the format may go on.
  virtual void pending_checked() = 0;
  // The handset answered with this pending IMEI: its write-back had happened.
  virtual void found_on_handset(const PendingImei& pending) = 0;
  // Whether the handset is that of `pending`, one of `candidates` (the
  // pending IMEIs that may be this handset's, newest first).
  virtual PendingAnswer ask(const PendingImei& pending,
                            const std::vector<PendingImei>& candidates) = 0;
  // The answer Yes: the pending IMEI becomes this run's backup in pc_file.
  // False (with *why) when it cannot be noted, or another port's run settled
  // it meanwhile.
  virtual bool restore(const PendingImei& pending, const std::string& pc_file, RestoreBy by,
                       std::string* why) = 0;
  // The answer No: the IMEI is kept aside for good.
  virtual void keep_aside(const PendingImei& pending) = 0;
};

// "53029910476543f1 (run at 2026-12-08 14:02:11, unit SN1, customer 1)": a
// pending IMEI as the operator tells it apart from another.
std::string describe_pending(const PendingImei& pending);

}  // namespace fs
