// Keeps the handset's identity across a process that dies: the run journal
// of the port (station/run_journal.h) behind the file commands' IMEI hooks,
// and the question to the operator about an IMEI left pending by an earlier
// run. One per run; every front end's run goes through run_script().
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fs/imei_guard.h"
#include "link/run_log.h"
#include "run/cfx_events.h"
#include "run/recording.h"
#include "run/run_context.h"
#include "station/run_journal.h"

namespace run {

// "The run on port 3 at 2026-12-08 14:02:11 (unit SN1, customer 1) stopped
// after the format, before IMEI 0123456789abcdef was written back. Is this
// that handset?", and what Yes and No do. With several candidates it says
// so, and that No leaves the IMEI pending for its own handset; for a unit
// that moved to another port, that No stops the run.
platform::OperatorText pending_question_text(const fs::PendingImei& pending,
                                             const std::vector<fs::PendingImei>& candidates);
std::string pending_question(const fs::PendingImei& pending,
                             const std::vector<fs::PendingImei>& candidates);

// The operator GUI's answer: the question in a Yes/No box (ConfirmPopup).
// Yes restores, No keeps aside; a box closed without a choice, or no one to
// ask, is no answer.
fs::PendingAnswer ask_in_confirm_popup(const fs::PendingImei& pending,
                                       const std::vector<fs::PendingImei>& candidates,
                                       const std::string& question);

// The IMEI's fate as records name it.
std::string record_fate(const station::JournalRun& run);

class ImeiJournal final : public fs::ImeiKeeper {
 public:
  // The journal of the context's port in its station folder; the context's
  // answer to the pending-IMEI question. The run's notices go to `log`, the
  // records of the runs an earlier process left (and this run's IMEI) to
  // `recorder`, the IMEI written back to `cfx`.
  ImeiJournal(const RunContext& context, wire::RunLog& log, Recorder& recorder, CfxRun& cfx);

  // Takes the port's journal for this run: false when another run holds it
  // (error() says so), and then no run may start. Otherwise earlier runs
  // that never ended are noted as interrupted (and recorded so), a journal
  // an older ffsload kept in the port's folder is taken in, and damage and
  // pending IMEIs are told. A journal that cannot be written is told at
  // once; its run then refuses any format. One that cannot be read or has a
  // damaged line refuses any IMEI read-back and format until a line
  // engineer has resolved it.
  bool open();
  const std::string& error() const { return journal_.error(); }
  // The run's start, with what identifies it; written before anything
  // touches the handset.
  void start(const station::JournalRun& run);
  // The run ended as the process saw it.
  void end(const std::string& outcome);
  // Its record reached neither the store nor the outbox: the journal keeps
  // it for the next run on the port to record. False when it cannot either.
  bool keep_unrecorded();
  // Its end messages found no room in the station's queue: the journal
  // keeps `end` (CfxRun::take_unqueued_end) for the next run on the
  // port to queue them. False when it cannot either.
  bool keep_unqueued(const std::string& end);
  // For this run's record: "", "not at risk", "pending", "written back".
  std::string fate() const;

  bool backed_up(const std::string& pc_file, std::span<const std::uint8_t> imei) override;
  int blocked(std::string* why) override;
  int formatting(std::string* why) override;
  void written_back() override;
  std::vector<fs::PendingImei> pending() override;
  int unknown_elsewhere(std::string* why) override;
  std::optional<std::vector<std::uint8_t>> named_imei() const override { return named_; }
  std::string unit_serial() const override { return run_.unit_serial; }
  void pending_checked() override { pending_checked_ = true; }
  void found_on_handset(const fs::PendingImei& pending) override;
  fs::PendingAnswer ask(const fs::PendingImei& pending,
                        const std::vector<fs::PendingImei>& candidates) override;
  bool restore(const fs::PendingImei& pending, const std::string& pc_file, fs::RestoreBy by,
               std::string* why) override;
  void keep_aside(const fs::PendingImei& pending) override;

 private:
  // Under the station's lock: whether `pending` is still pending where it
  // is kept (another port's run may have settled it since it was read).
  bool still_pending(const fs::PendingImei& pending, std::string* why);
  // Notes the fate where the IMEI is kept; *settled gets the run as it now
  // stands, to be recorded once the station's lock is let go.
  bool settle(const fs::PendingImei& pending, station::ImeiFate fate, const std::string& note,
              std::string* why, station::JournalRun* settled);
  void record_settled(const station::JournalRun& run);
  // "confirmed on port 4 at ... (panels, operator OP1)".
  std::string answer_note(const char* how) const;
  void broken(const std::string& what);
  void distrust(const std::string& why);

  RunContext context_;  // the run's, for the messages of runs the journal finds
  wire::RunLog& log_;
  Recorder& recorder_;
  CfxRun& cfx_;
  std::string station_;
  PendingImeiAnswer answer_;
  station::RunJournal journal_;
  station::JournalRun run_;
  bool usable_ = true;   // the journal can be written
  bool trusted_ = true;  // and read whole: no pending IMEI can hide in it
  std::string distrust_;
  bool told_broken_ = false;
  bool pending_checked_ = false;
  std::optional<std::vector<std::uint8_t>> named_;
  std::string elsewhere_;  // why another port's journal cannot be trusted, "" when all can
};

// A pending IMEI as the journal keeps it, for the question and the list.
fs::PendingImei pending_of(const station::JournalRun& run);

// Records a run as the journal holds it (one an earlier process left, or
// whose IMEI was settled now) where `records_option` says.
void record_journal_run(const station::JournalRun& run, const std::string& records_option);

}  // namespace run
