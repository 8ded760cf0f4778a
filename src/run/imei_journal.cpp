#include "run/imei_journal.h"

#include "fs/refusals.h"
#include "platform/date_time.h"
#include "platform/files.h"
#include "platform/text_format.h"
#include "platform/user_interface.h"
#include "records/run_record.h"
#include "run/cfx_events.h"
#include "run/recording.h"

namespace run {

namespace {

// A journal past this size is rewritten with only what is still needed.
constexpr std::size_t kJournalCompactBytes = 256 * 1024;

std::string hex(const std::vector<std::uint8_t>& bytes) {
  return records::hex_bytes(std::string(bytes.begin(), bytes.end()));
}

// The record of a run that an earlier process left in the journal: the
// journal holds from the run's start what its record needs, so a run killed
// before its first record copy still counts for its unit and attempt.
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
  if (!r.unit_serial.empty()) record.unit_serial = r.unit_serial;
  if (!r.operator_id.empty()) record.operator_id = r.operator_id;
  record.attempt = r.attempt;
  if (!r.fixture.empty()) record.fixture = r.fixture;
  record.outcome = r.ended ? r.outcome : "interrupted";
  if (r.imei) record.imei = hex(*r.imei);
  if (const std::string fate = record_fate(r); !fate.empty()) record.imei_fate = fate;
  return record;
}

}  // namespace

void record_journal_run(const station::JournalRun& run, const std::string& records_option) {
  record_earlier_run(earlier_record(run), records_option);
}

fs::PendingImei pending_of(const station::JournalRun& r) {
  fs::PendingImei p;
  p.run_uid = r.uid;
  p.started_at_ms = r.started_at_ms;
  p.port = r.port;
  if (r.imei) p.imei = *r.imei;
  p.pc_file = r.pc_file;
  p.unit_serial = r.unit_serial;
  p.customer = r.customer;
  p.operator_id = r.operator_id;
  p.front_end = r.front_end;
  return p;
}

platform::OperatorText pending_question_text(const fs::PendingImei& p,
                                             const std::vector<fs::PendingImei>& candidates) {
  std::string who;
  if (!p.unit_serial.empty() && !p.customer.empty()) {
    who = platform::OperatorText{"part.unit_customer", {p.unit_serial, p.customer}}.english();
  } else if (!p.unit_serial.empty()) {
    who = platform::OperatorText{"part.unit", {p.unit_serial}}.english();
  } else if (!p.customer.empty()) {
    who = platform::OperatorText{"part.customer", {p.customer}}.english();
  }
  std::vector<std::string> args = {std::to_string(p.port),
                                   platform::local_date_time_text(p.started_at_ms)};
  if (!who.empty()) args.push_back(who);
  args.push_back(hex(p.imei));
  std::string id = who.empty() ? "question.pending_imei" : "question.pending_imei_of_unit";
  if (candidates.size() > 1) {
    args.push_back(std::to_string(candidates.size()));
    id += "_of_several";
  }
  return {id, std::move(args)};
}

std::string pending_question(const fs::PendingImei& p,
                             const std::vector<fs::PendingImei>& candidates) {
  return pending_question_text(p, candidates).english();
}

fs::PendingAnswer ask_in_confirm_popup(const fs::PendingImei& pending,
                                       const std::vector<fs::PendingImei>& candidates,
                                       const std::string& question) {
  // The question in words the front end can translate; a caller's own
  // wording (no pending IMEI to word it from) is asked as it is.
  const platform::OperatorText asked = pending.imei.empty()
                                           ? platform::OperatorText{"as_is", {question}}
                                           : pending_question_text(pending, candidates);
  switch (platform::ConfirmPopup(platform::OperatorText{"title.pending_imei", {}}, asked)) {
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

ImeiJournal::ImeiJournal(const RunContext& context)
    : context_(context),
      station_(context.station_folder),
      records_option_(context.records_option),
      answer_(context.pending_answer),
      journal_(station::journal_path(context.station_folder, context.port)) {
  run_.port = context.port;
}

void ImeiJournal::broken(const std::string& what) {
  usable_ = false;
  if (told_broken_) return;
  told_broken_ = true;
  fs::operator_notice({"journal.cannot_write", {what}});
}

void ImeiJournal::distrust(const std::string& why) {
  if (!trusted_) return;
  trusted_ = false;
  distrust_ = why;
  fs::operator_notice({"journal.distrusted", {why, std::to_string(run_.port)}});
}

bool ImeiJournal::open() {
  if (!journal_.lock()) {
    if (journal_.busy()) return false;
    broken(journal_.error());
  }
  if (!journal_.load()) {
    // An unreadable journal may hold a pending IMEI: nothing may be formatted.
    usable_ = false;
    distrust("the run journal " + journal_.path() + " cannot be read (" + journal_.error() + ")");
    return true;
  }
  if (usable_ && !journal_.absorb(station::old_journal_path(station_, run_.port))) {
    distrust("the run journal an older ffsload kept for port " + std::to_string(run_.port) +
             " cannot be taken in (" + journal_.error() + ")");
  }
  if (!journal_.damaged().empty()) {
    std::string what;
    for (const std::string& damage : journal_.damaged())
      what += (what.empty() ? "" : ", ") + damage;
    distrust("the run journal " + journal_.path() + " is damaged: " + what);
  }
  if (!usable_) return true;
  for (const station::JournalRun& r : std::vector<station::JournalRun>(journal_.runs())) {
    if (r.unrecorded && !r.open()) {
      // Its record found no room when it ended; the journal kept it.
      const records::KeepResult kept = record_earlier_run(earlier_record(r), records_option_);
      if (!kept.stored && !kept.kept_locally) continue;  // still no room: it waits
      if (!journal_.recorded(r.uid)) {
        broken(journal_.error());
        return true;
      }
      continue;
    }
    if (!r.open()) continue;
    if (!journal_.interrupted(r.uid)) {
      broken(journal_.error());
      return true;
    }
    record_earlier_run(earlier_record(*journal_.find(r.uid)), records_option_);
    cfx_run_interrupted(context_, *journal_.find(r.uid), now_utc_ms());
  }
  if (!journal_.compact(kJournalCompactBytes)) {
    fs::operator_notice({"journal.not_tidied", {journal_.error()}});
  }
  for (const fs::PendingImei& p : pending()) {
    fs::operator_notice(
        {"imei.pending_on_port", {fs::describe_pending(p), std::to_string(p.port)}});
  }
  return true;
}

void ImeiJournal::start(const station::JournalRun& run) {
  run_ = run;
  if (usable_ && !journal_.started(run_)) broken(journal_.error());
}

void ImeiJournal::end(const std::string& outcome) {
  if (usable_ && !journal_.ended(run_.uid, outcome)) {
    fs::operator_notice({"journal.end_not_noted", {journal_.error()}});
  }
}

bool ImeiJournal::keep_unrecorded() {
  return usable_ && journal_.unrecorded(run_.uid);
}

std::string ImeiJournal::fate() const {
  const station::JournalRun* r = journal_.find(run_.uid);
  return r ? record_fate(*r) : "";
}

bool ImeiJournal::backed_up(const std::string& pc_file, std::span<const std::uint8_t> imei) {
  if (!usable_) return false;
  const std::vector<std::uint8_t> bytes(imei.begin(), imei.end());
  // From the root: another front end's run may work in another folder.
  if (!journal_.backed_up(run_.uid, bytes, platform::absolute_path(pc_file))) {
    broken(journal_.error());
    return false;
  }
  record_run_imei(bytes, "not at risk");
  return true;
}

int ImeiJournal::blocked(std::string* why) {
  if (trusted_) return 0;
  *why = distrust_;
  return fs::kStatusJournalNeedsEngineer;
}

int ImeiJournal::formatting(std::string* why) {
  if (const int status = blocked(why); status != 0) return status;
  if (!usable_) {
    *why = "cannot write the run journal";
    return fs::kStatusJournalNotWritten;
  }
  if (!pending_checked_) {
    if (const auto waiting = pending(); !waiting.empty()) {
      *why = platform::strprintf(
          "%zu IMEI(s) pending on port %d and this run has not read the handset's IMEI",
          waiting.size(), run_.port);
      return fs::kStatusPendingImeiUnchecked;
    }
  }
  if (!journal_.formatting(run_.uid)) {
    broken(journal_.error());
    *why = "cannot write the run journal";
    return fs::kStatusJournalNotWritten;
  }
  return 0;
}

void ImeiJournal::written_back() {
  if (const station::JournalRun* r = journal_.find(run_.uid); r && r->imei) {
    cfx_imei_written(*r->imei);
  }
  if (usable_ && !journal_.written_back(run_.uid)) {
    // The IMEI is back on the handset; the worst that follows is a needless question.
    fs::operator_notice({"journal.write_back_not_noted", {journal_.error()}});
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
    fs::operator_notice({"journal.fate_not_noted", {journal_.error()}});
    return;
  }
  if (const station::JournalRun* r = journal_.find(uid)) {
    record_earlier_run(earlier_record(*r), records_option_);
  }
}

void ImeiJournal::found_on_handset(const fs::PendingImei& p) {
  settle(p.run_uid, station::ImeiFate::kWrittenBack);
}

fs::PendingAnswer ImeiJournal::ask(const fs::PendingImei& p,
                                   const std::vector<fs::PendingImei>& candidates) {
  if (!answer_) return fs::PendingAnswer::kNoAnswer;
  return answer_(p, candidates, pending_question(p, candidates));
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
