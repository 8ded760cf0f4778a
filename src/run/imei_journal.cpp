#include "run/imei_journal.h"

#include <ctime>

#include "platform/text_format.h"
#include "platform/user_interface.h"
#include "records/run_record.h"
#include "run/recording.h"

namespace run {

namespace {

// A journal past this size is rewritten with only what is still needed.
constexpr std::size_t kJournalCompactBytes = 256 * 1024;

PendingImeiAnswer g_answer;

std::string hex(const std::vector<std::uint8_t>& bytes) {
  return records::hex_bytes(std::string(bytes.begin(), bytes.end()));
}

std::string local_time(std::int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  localtime_r(&seconds, &tm);
  return platform::strprintf("%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
}

fs::PendingImei pending_of(const station::JournalRun& r) {
  fs::PendingImei p;
  p.run_uid = r.uid;
  p.started_at_ms = r.started_at_ms;
  p.port = r.port;
  p.imei = *r.imei;
  p.pc_file = r.pc_file;
  return p;
}

// The record of a run that an earlier process left in the journal.
records::RunRecord earlier_record(const station::JournalRun& r) {
  records::RunRecord record;
  record.uid = r.uid;
  record.started_at_ms = r.started_at_ms;
  record.ended_at_ms = r.started_at_ms;
  record.station = r.station;
  record.port = r.port;
  record.device = r.device;
  record.customer = r.customer;
  record.script = r.script;
  record.ma_no = r.ma_no;
  record.tool_version = r.tool_version;
  record.outcome = r.ended ? r.outcome : "interrupted";
  if (r.imei) record.imei = hex(*r.imei);
  if (const std::string fate = record_fate(r); !fate.empty()) record.imei_fate = fate;
  return record;
}

}  // namespace

std::string pending_question(const fs::PendingImei& p) {
  return platform::strprintf(
      "The run on port %d at %s stopped after the format, before IMEI %s was written back. Is "
      "this that handset?",
      p.port, local_time(p.started_at_ms).c_str(), hex(p.imei).c_str());
}

void set_pending_imei_answer(PendingImeiAnswer answer) {
  g_answer = std::move(answer);
}

fs::PendingAnswer ask_in_confirm_popup(const fs::PendingImei&, const std::string& question) {
  switch (platform::ConfirmPopup("Pending IMEI", question)) {
    case 1:
      return fs::PendingAnswer::kRestore;
    case 0:
      return fs::PendingAnswer::kKeepAside;
    default:
      return fs::PendingAnswer::kNoAnswer;
  }
}

std::string record_fate(const station::JournalRun& r) {
  if (!r.imei) return "";
  if (r.fate != station::ImeiFate::kNone) return station::fate_name(r.fate);
  if (r.written_back) return "written back";
  if (r.formatted) return "pending";
  return "not at risk";
}

ImeiJournal::ImeiJournal(std::string path, station::JournalRun run)
    : journal_(std::move(path)), run_(std::move(run)) {}

void ImeiJournal::broken(const std::string& what) {
  usable_ = false;
  if (told_broken_) return;
  told_broken_ = true;
  fs::operator_notice("the run journal cannot be written (" + what +
                      "): this run refuses to format the handset, so that its IMEI cannot be lost");
}

void ImeiJournal::begin() {
  if (!journal_.lock() || !journal_.load()) {
    // An unreadable journal may hold a pending IMEI: nothing may be formatted.
    broken(journal_.error());
    return;
  }
  for (const std::string& damage : journal_.damaged()) {
    fs::operator_notice("the run journal is damaged: " + damage + "; the line is kept in " +
                        station::journal_file_name(run_.port) + ".damaged");
  }
  for (const station::JournalRun& r : std::vector<station::JournalRun>(journal_.runs())) {
    if (!r.open()) continue;
    if (!journal_.interrupted(r.uid)) {
      broken(journal_.error());
      return;
    }
    record_earlier_run(earlier_record(*journal_.find(r.uid)));
  }
  std::string damaged_file;
  if (!journal_.compact(kJournalCompactBytes, &damaged_file)) {
    fs::operator_notice("the run journal could not be tidied: " + journal_.error());
  }
  for (const fs::PendingImei& p : pending()) {
    fs::operator_notice(platform::strprintf(
        "IMEI %s is pending on port %d: the run at %s stopped after the format, before the "
        "write-back; it is kept in the run journal until its handset has it again",
        hex(p.imei).c_str(), p.port, local_time(p.started_at_ms).c_str()));
  }
  if (!journal_.started(run_)) broken(journal_.error());
}

void ImeiJournal::end(const std::string& outcome) {
  if (usable_ && !journal_.ended(run_.uid, outcome)) {
    fs::operator_notice("the run journal cannot note the run's end: " + journal_.error());
  }
}

std::string ImeiJournal::fate() const {
  const station::JournalRun* r = journal_.find(run_.uid);
  return r ? record_fate(*r) : "";
}

bool ImeiJournal::backed_up(const std::string& pc_file, std::span<const std::uint8_t> imei) {
  if (!usable_) return false;
  const std::vector<std::uint8_t> bytes(imei.begin(), imei.end());
  if (!journal_.backed_up(run_.uid, bytes, pc_file)) {
    broken(journal_.error());
    return false;
  }
  record_run_imei(bytes, "not at risk");
  return true;
}

bool ImeiJournal::formatting() {
  if (!usable_) return false;
  if (!journal_.formatting(run_.uid)) {
    broken(journal_.error());
    return false;
  }
  return true;
}

void ImeiJournal::written_back() {
  if (usable_ && !journal_.written_back(run_.uid)) {
    // The IMEI is back on the handset; the worst that follows is a needless question.
    fs::operator_notice("the run journal cannot note the IMEI write-back: " + journal_.error());
  }
}

std::vector<fs::PendingImei> ImeiJournal::pending() {
  std::vector<fs::PendingImei> out;
  const auto& runs = journal_.runs();
  // Newest first: the last crash is the likeliest to be on the fixture.
  for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
    if (it->uid != run_.uid && it->imei_pending()) out.push_back(pending_of(*it));
  }
  return out;
}

void ImeiJournal::settle(const std::string& uid, station::ImeiFate fate) {
  if (!journal_.settled(uid, fate)) {
    fs::operator_notice("the run journal cannot note what became of a pending IMEI: " +
                        journal_.error());
    return;
  }
  if (const station::JournalRun* r = journal_.find(uid)) record_earlier_run(earlier_record(*r));
}

void ImeiJournal::found_on_handset(const fs::PendingImei& p) {
  settle(p.run_uid, station::ImeiFate::kWrittenBack);
}

fs::PendingAnswer ImeiJournal::ask(const fs::PendingImei& p) {
  if (!g_answer) return fs::PendingAnswer::kNoAnswer;
  return g_answer(p, pending_question(p));
}

bool ImeiJournal::restore(const fs::PendingImei& p, const std::string& pc_file) {
  // This run's backup first: a crash between the two lines leaves the IMEI
  // pending twice, never nowhere. The settling line's sync flushes both.
  if (!backed_up(pc_file, p.imei)) return false;
  settle(p.run_uid, station::ImeiFate::kRestored);
  return true;
}

void ImeiJournal::keep_aside(const fs::PendingImei& p) {
  settle(p.run_uid, station::ImeiFate::kKeptAside);
}

}  // namespace run
