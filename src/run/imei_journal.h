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
#include "station/run_journal.h"

namespace run {

// "The run on port 3 at 14:02:11 stopped after the format, before IMEI
// 0123456789abcdef was written back. Is this that handset?"
std::string pending_question(const fs::PendingImei& pending);

// How the front end answers that question (a dialog, the terminal, an option).
using PendingImeiAnswer =
    std::function<fs::PendingAnswer(const fs::PendingImei& pending, const std::string& question)>;
// Set by the front end; without one nobody answers and the run stops before
// any format.
void set_pending_imei_answer(PendingImeiAnswer answer);

// The operator GUI's answer: the question in a Yes/No box (ConfirmPopup).
// Yes restores, No keeps aside; a box closed without a choice, or no one to
// ask, is no answer.
fs::PendingAnswer ask_in_confirm_popup(const fs::PendingImei& pending, const std::string& question);

// The IMEI's fate as records name it.
std::string record_fate(const station::JournalRun& run);

class ImeiJournal final : public fs::ImeiKeeper {
 public:
  // path: the port's journal file in the start folder.
  ImeiJournal(std::string path, station::JournalRun run);

  // The run starts: earlier runs that never ended are noted as interrupted
  // (and recorded so), damage and pending IMEIs are told, and this run's
  // start is written. A journal that cannot be written is told at once; its
  // run then refuses any format.
  void begin();
  // The run ended as the process saw it.
  void end(const std::string& outcome);
  // For this run's record: "", "not at risk", "pending", "written back".
  std::string fate() const;

  bool backed_up(const std::string& pc_file, std::span<const std::uint8_t> imei) override;
  bool formatting() override;
  void written_back() override;
  std::vector<fs::PendingImei> pending() override;
  void found_on_handset(const fs::PendingImei& pending) override;
  fs::PendingAnswer ask(const fs::PendingImei& pending) override;
  bool restore(const fs::PendingImei& pending, const std::string& pc_file) override;
  void keep_aside(const fs::PendingImei& pending) override;

 private:
  void settle(const std::string& uid, station::ImeiFate fate);
  void broken(const std::string& what);

  station::RunJournal journal_;
  station::JournalRun run_;
  bool usable_ = true;
  bool told_broken_ = false;
};

}  // namespace run
