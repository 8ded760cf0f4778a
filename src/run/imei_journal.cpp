#include "run/imei_journal.h"

#include <algorithm>

#include "fs/refusals.h"
#include "platform/date_time.h"
#include "platform/files.h"
#include "platform/text_format.h"
#include "platform/user_interface.h"
#include "records/run_record.h"
#include "run/cfx_events.h"
#include "run/recording.h"
#include "station/station_journals.h"

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
records::RunRecord earlier_record(const station::JournalRun& r, bool journal_damaged = false) {
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
  // A damaged line of its journal may have been its IMEI or format line:
  // nothing may say it was never at risk.
  if (journal_damaged && !r.ended && r.fate == station::ImeiFate::kNone && !r.formatted) {
    record.imei_fate = "unknown: its run journal is damaged";
  }
  // Who settled its IMEI, when not its own run: the record says so too.
  const std::string& note = !r.fate_note.empty() ? r.fate_note : r.reopened_note;
  if (!note.empty()) record.log = std::string("IMEI ") + record_fate(r) + ": " + note;
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
  if (p.moved_to_port != 0) {
    return {"question.pending_imei_moved",
            {p.unit_serial, std::to_string(p.port), platform::local_date_time_text(p.started_at_ms),
             hex(p.imei), std::to_string(p.moved_to_port)}};
  }
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

ImeiJournal::ImeiJournal(const RunContext& context, wire::RunLog& log, Recorder& recorder,
                         CfxRun& cfx)
    : context_(context),
      log_(log),
      recorder_(recorder),
      cfx_(cfx),
      station_(context.station_folder),
      answer_(context.pending_answer),
      journal_(station::journal_path(context.station_folder, context.port)),
      named_(context.named_pending_imei) {
  run_.port = context.port;
}

void ImeiJournal::broken(const std::string& what) {
  usable_ = false;
  if (told_broken_) return;
  told_broken_ = true;
  log_.notice({"journal.cannot_write", {what}});
}

void ImeiJournal::distrust(const std::string& why) {
  if (!trusted_) return;
  trusted_ = false;
  distrust_ = why;
  log_.notice({"journal.distrusted", {why, std::to_string(run_.port)}});
}

bool ImeiJournal::open() {
  std::vector<station::JournalRun> interrupted;
  std::vector<station::JournalRun> unrecorded;
  std::vector<station::JournalRun> unqueued;
  bool damaged = false;
  {
    // Another port's run may be reading or settling this journal: the
    // station lock keeps it from seeing this one half opened.
    station::StationLock station_lock;
    if (!station_lock.take(station_)) broken(station_lock.error());
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
      if (journal_.busy()) return false;  // a run in the port's folder holds the port
      distrust("the run journal an older ffsload kept for port " + std::to_string(run_.port) +
               " cannot be taken in (" + journal_.error() + ")");
    }
    damaged = !journal_.damaged().empty();
    if (damaged) {
      std::string what;
      for (const std::string& damage : journal_.damaged())
        what += (what.empty() ? "" : ", ") + damage;
      distrust("the run journal " + journal_.path() + " is damaged: " + what);
    }
    if (!usable_) return true;
    for (const station::JournalRun& r : std::vector<station::JournalRun>(journal_.runs())) {
      // Its end messages found no room in the queue: rebuilt below, in the
      // order the runs ran, before an interrupted run's.
      if (!r.unqueued_end.empty()) unqueued.push_back(r);
      if (r.unrecorded && !r.open()) {
        unrecorded.push_back(r);  // its record found no room when it ended
        continue;
      }
      if (!r.open()) continue;
      if (!journal_.interrupted(r.uid)) {
        broken(journal_.error());
        return true;
      }
      interrupted.push_back(*journal_.find(r.uid));
    }
    if (!journal_.compact(kJournalCompactBytes)) {
      log_.notice({"journal.not_tidied", {journal_.error()}});
    }
  }
  // A records server may keep a run waiting: never while other ports wait
  // on the station's lock. The journal keeps each run until it is recorded.
  for (const station::JournalRun& r : unrecorded) {
    const records::KeepResult kept = recorder_.keep_earlier(earlier_record(r));
    if (!kept.stored && !kept.kept_locally) continue;  // still no room: it waits
    if (!journal_.recorded(r.uid)) {
      broken(journal_.error());
      return true;
    }
  }
  // The same for the messages the factory network never got; a journal
  // that cannot note them queued leaves them to be queued again, which the
  // queue and the MES take as the same messages (their UniqueIDs).
  for (const station::JournalRun& r : unqueued) {
    if (!cfx_run_rebuilt(context_, r, log_)) continue;  // still no room: they wait
    if (!journal_.queued(r.uid)) broken(journal_.error());
  }
  for (const station::JournalRun& r : interrupted) {
    recorder_.keep_earlier(earlier_record(r, damaged));
    // A run whose end messages the journal holds ended as they say.
    if (r.unqueued_end.empty()) cfx_run_interrupted(context_, r, now_utc_ms(), log_);
  }
  const auto& runs = journal_.runs();
  for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
    if (!it->imei_pending()) continue;
    log_.notice({"imei.pending_on_port",
                 {fs::describe_pending(pending_of(*it)), std::to_string(it->port)}});
  }
  return true;
}

void ImeiJournal::start(const station::JournalRun& run) {
  run_ = run;
  if (usable_ && !journal_.started(run_)) broken(journal_.error());
}

void ImeiJournal::end(const std::string& outcome) {
  if (usable_ && !journal_.ended(run_.uid, outcome)) {
    log_.notice({"journal.end_not_noted", {journal_.error()}});
  }
}

bool ImeiJournal::keep_unrecorded() {
  return usable_ && journal_.unrecorded(run_.uid);
}

bool ImeiJournal::keep_unqueued(const std::string& end) {
  return usable_ && journal_.unqueued(run_.uid, end);
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
  recorder_.imei_backed_up(bytes, "not at risk");
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
    const auto waiting = pending();
    // Only a scanned serial that differs from each pending IMEI's unit tells
    // the station that this handset is none of theirs.
    const bool another_unit =
        !run_.unit_serial.empty() &&
        std::all_of(waiting.begin(), waiting.end(), [&](const fs::PendingImei& p) {
          return !p.unit_serial.empty() && p.unit_serial != run_.unit_serial;
        });
    if (!waiting.empty() && !another_unit) {
      *why = platform::strprintf(
          "%zu IMEI(s) pending in this station and this run has not read the handset's IMEI",
          waiting.size());
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
    cfx_.imei_written(*r->imei);
  }
  if (usable_ && !journal_.written_back(run_.uid)) {
    // The IMEI is back on the handset; the worst that follows is a needless question.
    log_.notice({"journal.write_back_not_noted", {journal_.error()}});
  }
}

std::vector<fs::PendingImei> ImeiJournal::pending() {
  std::vector<fs::PendingImei> out;
  elsewhere_.clear();
  station::StationLock station_lock;
  if (!station_lock.take(station_)) {
    elsewhere_ = station_lock.error();
  } else if (usable_ && trusted_ && !journal_.load()) {
    // Read again: another port's run may have settled one of ours since.
    elsewhere_ =
        "the run journal " + journal_.path() + " cannot be read again (" + journal_.error() + ")";
  }
  for (const station::JournalRun& r : journal_.runs()) {
    if (r.uid == run_.uid || !r.imei_pending()) continue;
    out.push_back(pending_of(r));
    out.back().journal = journal_.path();
  }
  if (station_lock.error().empty()) {
    for (const station::JournalView& view :
         station::read_station_journals(station_, journal_.path())) {
      if (!view.error.empty()) {
        elsewhere_ = view.error;
      } else if (!view.damaged.empty()) {
        elsewhere_ =
            "the run journal " + view.place.path + " of port " + std::to_string(view.place.port) +
            " is damaged: a pending IMEI may be hidden in it (\"ffsload pending\" lists it)";
      }
      for (const station::JournalRun& r : view.runs) {
        if (!station::imei_left_pending(r, view.holder)) continue;
        out.push_back(pending_of(r));
        out.back().journal = view.place.path;
      }
    }
  }
  // Newest first: the last crash is the likeliest to be on the fixture.
  std::stable_sort(out.begin(), out.end(), [](const fs::PendingImei& a, const fs::PendingImei& b) {
    return a.started_at_ms > b.started_at_ms;
  });
  return out;
}

int ImeiJournal::unknown_elsewhere(std::string* why) {
  if (elsewhere_.empty()) return 0;
  *why = elsewhere_;
  return fs::kStatusJournalNeedsEngineer;
}

std::string ImeiJournal::answer_note(const char* how) const {
  std::string who = context_.front_end;
  if (!run_.operator_id.empty()) who += ", operator " + run_.operator_id;
  return platform::strprintf("%s on port %d at %s (%s)", how, run_.port,
                             platform::local_date_time_text(now_utc_ms()).c_str(), who.c_str());
}

bool ImeiJournal::still_pending(const fs::PendingImei& p, std::string* why) {
  const station::JournalRun* r = nullptr;
  station::RunJournal other(p.journal);
  station::Holder holder = station::Holder::kRun;
  if (p.journal == journal_.path()) {
    if (!journal_.load()) {
      *why = journal_.error();
      return false;
    }
    r = journal_.find(p.run_uid);
  } else {
    if (!other.load()) {
      *why = other.error();
      return false;
    }
    r = other.find(p.run_uid);
    holder = station::journal_holder(p.journal);
  }
  if (r &&
      (p.journal == journal_.path() ? r->imei_pending() : station::imei_left_pending(*r, holder))) {
    return true;
  }
  *why = "IMEI " + hex(p.imei) + " is no longer pending: another run settled it meanwhile";
  return false;
}

bool ImeiJournal::settle(const fs::PendingImei& p, station::ImeiFate fate, const std::string& note,
                         std::string* why, station::JournalRun* settled) {
  station::RunJournal other(p.journal);
  station::RunJournal& where = p.journal == journal_.path() ? journal_ : other;
  if (&where == &other && !other.load()) {
    *why = other.error();
    return false;
  }
  if (!where.settled(p.run_uid, fate, note)) {
    *why = where.error();
    log_.notice({"journal.fate_not_noted", {where.error()}});
    return false;
  }
  if (const station::JournalRun* r = where.find(p.run_uid)) *settled = *r;
  return true;
}

void ImeiJournal::record_settled(const station::JournalRun& run) {
  if (!run.uid.empty()) recorder_.keep_earlier(earlier_record(run));
}

void ImeiJournal::found_on_handset(const fs::PendingImei& p) {
  station::JournalRun settled;
  {
    station::StationLock station_lock;
    std::string why;
    if (!station_lock.take(station_) || !still_pending(p, &why)) return;
    settle(p, station::ImeiFate::kWrittenBack, "", &why, &settled);
  }
  record_settled(settled);
}

fs::PendingAnswer ImeiJournal::ask(const fs::PendingImei& p,
                                   const std::vector<fs::PendingImei>& candidates) {
  if (!answer_) return fs::PendingAnswer::kNoAnswer;
  return answer_(p, candidates, pending_question(p, candidates));
}

bool ImeiJournal::restore(const fs::PendingImei& p, const std::string& pc_file, fs::RestoreBy by,
                          std::string* why) {
  station::JournalRun settled;
  {
    // Under the station's lock: the question was asked without it, and
    // another port's handset may have been given this IMEI while it was open.
    station::StationLock station_lock;
    if (!station_lock.take(station_)) {
      *why = station_lock.error();
      return false;
    }
    if (!still_pending(p, why)) return false;
    // This run's backup first: a crash between the two lines leaves the IMEI
    // pending twice, never nowhere. The settling line's sync flushes both.
    if (!backed_up(pc_file, p.imei)) {
      *why = "cannot write the run journal";
      return false;
    }
    std::string note;
    if (by == fs::RestoreBy::kAnswer) note = answer_note("confirmed");
    if (by == fs::RestoreBy::kNamed) {
      note = answer_note(("named by restore=" + hex(p.imei)).c_str());
    }
    if (!settle(p, station::ImeiFate::kRestored, note, why, &settled)) return false;
  }
  record_settled(settled);
  return true;
}

void ImeiJournal::keep_aside(const fs::PendingImei& p) {
  station::JournalRun settled;
  {
    station::StationLock station_lock;
    std::string why;
    if (!station_lock.take(station_) || !still_pending(p, &why)) return;
    settle(p, station::ImeiFate::kKeptAside, answer_note("kept aside"), &why, &settled);
  }
  record_settled(settled);
}

}  // namespace run
