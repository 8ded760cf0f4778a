#include "run/pending_imeis.h"

#include "platform/date_time.h"
#include "platform/text_format.h"
#include "platform/whole_files.h"
#include "records/run_record.h"
#include "run/recording.h"
#include "station/station_journals.h"

namespace run {

namespace {

std::optional<std::vector<std::uint8_t>> imei_of_hex(const std::string& text) {
  if (text.size() != 16) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    int value = 0;
    for (char c : text.substr(i, 2)) {
      value *= 16;
      if (c >= '0' && c <= '9') {
        value += c - '0';
      } else if (c >= 'a' && c <= 'f') {
        value += c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        value += c - 'A' + 10;
      } else {
        return std::nullopt;
      }
    }
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return bytes;
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
  return records::hex_bytes(std::string(bytes.begin(), bytes.end()));
}

// The journal at `path` as it stands; *empty (when given) says whether it
// holds anything at all, a journal that cannot be read counting as something.
PortJournal read_one(const std::string& path, int port, bool old_place, bool* empty = nullptr) {
  PortJournal j;
  j.port = port;
  j.path = path;
  j.old_place = old_place;
  station::RunJournal journal(path);
  const bool read = journal.load();
  if (empty) *empty = read && journal.runs().empty() && journal.damaged().empty();
  if (!read) {
    j.error = journal.error();
    return j;
  }
  // The open run of a journal that a run holds is that run, at work.
  const station::Holder holder = read ? station::journal_holder(path) : station::Holder::kUnknown;
  for (const station::JournalRun& r : journal.runs()) {
    if (station::imei_left_pending(
            r, holder == station::Holder::kUnknown ? station::Holder::kNobody : holder)) {
      j.pending.push_back(r);
    }
    if (r.fate == station::ImeiFate::kKeptAside) j.kept_aside.push_back(r);
  }
  j.damage = journal.damaged();
  j.damaged_lines = journal.damaged_lines();
  return j;
}

// A station text as a terminal may show it: a control character, an
// escape sequence or a byte that is not text is shown as \xNN, never obeyed,
// and a long one is cut with "...".
std::string shown(const std::string& text, std::size_t width = 0) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) {
      out += platform::strprintf("\\x%02x", c);
    } else {
      out += static_cast<char>(c);
    }
  }
  if (width > 3 && out.size() > width) out = out.substr(0, width - 3) + "...";
  return out;
}

std::string text_or_dash(const std::string& text, std::size_t width = 40) {
  return text.empty() ? "-" : shown(text, width);
}

// The PC file as it stands now: the file a run saved the IMEI into may since
// hold another handset's IMEI (the next run on that port saves there again).
std::string pc_file_state(const station::JournalRun& r) {
  if (r.pc_file.empty() || !r.imei) return "-";
  std::string text, why;
  const bool same =
      platform::read_whole_file(r.pc_file, &text, &why) == platform::WholeRead::kRead &&
      text == std::string(r.imei->begin(), r.imei->end());
  return shown(r.pc_file, 60) + (same ? "" : " (now holds another IMEI or none)");
}

std::string entry_line(const PortJournal& j, const char* state, const station::JournalRun& r) {
  std::string line = platform::strprintf(
      "%4d  %-10s  %-19s  %-16s  %-8s  %-16s  %-8s  %s\n", j.port, state,
      platform::local_date_time_text(r.started_at_ms).c_str(), text_or_dash(r.unit_serial).c_str(),
      text_or_dash(r.customer, 16).c_str(), r.imei ? hex(*r.imei).c_str() : "-",
      text_or_dash(r.front_end, 8).c_str(), pc_file_state(r).c_str());
  const std::string& note = !r.fate_note.empty()       ? r.fate_note
                            : !r.reopened_note.empty() ? r.reopened_note
                                                       : r.repaired_note;
  if (!note.empty()) line += "      " + shown(note, 200) + "\n";
  return line;
}

// The port's journal taken for an engineer's action, with what an older
// ffsload kept in the port's folder: false with *message when a run holds
// it or it cannot be read.
bool take(station::RunJournal& journal, station::StationLock& station_lock,
          const std::string& station, int port, std::string* message) {
  if (!station_lock.take(station)) {
    *message = station_lock.error();
    return false;
  }
  if (!journal.lock()) {
    *message = journal.busy() ? journal.path() +
                                    " is in use by a run on this port: try again once it has ended"
                              : journal.error();
    return false;
  }
  if (!journal.load() || !journal.absorb(station::old_journal_path(station, port))) {
    *message = journal.error();
    return false;
  }
  return true;
}

}  // namespace

std::optional<PendingOption> parse_pending_option(const std::string& text, std::string* error) {
  PendingOption option;
  if (text == "restore") return option;
  if (text == "keep-aside") {
    option.kind = PendingOption::Kind::kKeepAside;
    return option;
  }
  if (text.starts_with("restore=")) {
    option.imei = imei_of_hex(text.substr(8));
    if (option.imei) return option;
  }
  *error =
      "--pending-imei takes restore, restore=HEX (the 16 hex digits of a pending IMEI) or "
      "keep-aside, not \"" +
      text + "\"";
  return std::nullopt;
}

PendingImeiAnswer answer_from_option(const PendingOption& option) {
  return [option](const fs::PendingImei& p, const std::vector<fs::PendingImei>& candidates,
                  const std::string&) {
    if (option.imei) {
      return p.imei == *option.imei ? fs::PendingAnswer::kRestore : fs::PendingAnswer::kNotThisOne;
    }
    if (candidates.size() != 1) return fs::PendingAnswer::kNoAnswer;
    return option.kind == PendingOption::Kind::kRestore ? fs::PendingAnswer::kRestore
                                                        : fs::PendingAnswer::kKeepAside;
  };
}

std::vector<PortJournal> read_port_journals(const std::string& station) {
  std::vector<PortJournal> out;
  for (int port = 1; port <= 8; ++port) {
    const std::string path = station::journal_path(station, port);
    bool empty = true;
    PortJournal here = read_one(path, port, false, &empty);
    if (!empty) out.push_back(std::move(here));
    const std::string old = station::old_journal_path(station, port);
    PortJournal kept_there = read_one(old, port, true, &empty);
    if (!empty) out.push_back(std::move(kept_there));
  }
  return out;
}

std::string format_port_journals(const std::vector<PortJournal>& journals) {
  std::string text;
  bool any = false;
  for (const PortJournal& j : journals) {
    if (!j.error.empty()) {
      text += platform::strprintf("%4d  unreadable  %s\n", j.port, j.error.c_str());
      any = true;
      continue;
    }
    for (const auto& r : j.pending) text += entry_line(j, "pending", r);
    for (const auto& r : j.kept_aside) text += entry_line(j, "kept aside", r);
    for (std::size_t i = 0; i < j.damaged_lines.size(); ++i) {
      text += platform::strprintf("%4d  damaged     %s in %s: %s\n", j.port,
                                  i < j.damage.size() ? shown(j.damage[i], 80).c_str() : "a line",
                                  shown(j.path).c_str(), shown(j.damaged_lines[i], 120).c_str());
    }
    any = any || !j.pending.empty() || !j.kept_aside.empty() || !j.damaged_lines.empty();
    if (j.old_place && (!j.pending.empty() || !j.damaged_lines.empty())) {
      text += platform::strprintf(
          "%4d  (kept by an older ffsload in %s; the port's next run takes it in)\n", j.port,
          j.path.c_str());
    }
  }
  if (!any) return "no pending, kept-aside or damaged entries in the run journals\n";
  return "port  state       started              unit              customer  IMEI              "
         "front end PC file (as saved by that run)\n" +
         text;
}

bool imei_pending_in_station(const std::string& station, const std::vector<std::uint8_t>& imei) {
  for (const PortJournal& j : read_port_journals(station)) {
    for (const auto& r : j.pending) {
      if (r.imei == imei) return true;
    }
  }
  return false;
}

EngineerAction keep_aside_pending(const std::string& station, int port,
                                  const std::vector<std::uint8_t>& imei, const std::string& note,
                                  const std::string& records_option) {
  EngineerAction action;
  station::StationLock station_lock;
  station::RunJournal journal(station::journal_path(station, port));
  if (!take(journal, station_lock, station, port, &action.message)) return action;
  std::vector<std::string> uids;
  for (const auto& r : journal.runs()) {
    if (r.imei_pending() && r.imei == imei) uids.push_back(r.uid);
  }
  if (uids.empty()) {
    action.usage = true;
    action.message = "IMEI " + hex(imei) + " is not pending on port " + std::to_string(port);
    return action;
  }
  for (const std::string& uid : uids) {
    if (!journal.settled(uid, station::ImeiFate::kKeptAside, note)) {
      action.message = journal.error();
      return action;
    }
    record_journal_run(*journal.find(uid), records_option);
  }
  action.done = true;
  action.message = "IMEI " + hex(imei) + " of port " + std::to_string(port) +
                   " is kept aside for good; \"ffsload report --interrupted\" lists it";
  return action;
}

EngineerAction restore_kept_aside(const std::string& station, int port,
                                  const std::vector<std::uint8_t>& imei, const std::string& note,
                                  const std::string& records_option) {
  EngineerAction action;
  station::StationLock station_lock;
  station::RunJournal journal(station::journal_path(station, port));
  if (!take(journal, station_lock, station, port, &action.message)) return action;
  std::vector<std::string> uids;
  for (const auto& r : journal.runs()) {
    if (r.fate == station::ImeiFate::kKeptAside && r.imei == imei) uids.push_back(r.uid);
  }
  if (uids.empty()) {
    action.usage = true;
    action.message = "IMEI " + hex(imei) + " is not kept aside on port " + std::to_string(port);
    return action;
  }
  for (const std::string& uid : uids) {
    if (!journal.reopened(uid, note)) {
      action.message = journal.error();
      return action;
    }
    record_journal_run(*journal.find(uid), records_option);
  }
  action.done = true;
  action.message = "IMEI " + hex(imei) + " of port " + std::to_string(port) +
                   " is pending again: the next handset without an IMEI is asked about it";
  return action;
}

EngineerAction resolve_damaged_lines(const std::string& station, int port, const std::string& note,
                                     const std::string& records_option) {
  EngineerAction action;
  station::StationLock station_lock;
  station::RunJournal journal(station::journal_path(station, port));
  if (!take(journal, station_lock, station, port, &action.message)) return action;
  const std::size_t count = journal.damaged_lines().size();
  if (count == 0) {
    action.usage = true;
    action.message = "the run journal of port " + std::to_string(port) + " has no damaged line";
    return action;
  }
  std::string side;
  std::vector<std::string> repaired;
  if (!journal.resolve_damaged(note, &side, &repaired)) {
    action.message = journal.error();
    return action;
  }
  action.done = true;
  action.message =
      platform::strprintf("%zu damaged line(s) of %s are set aside in %s; the port formats again",
                          count, journal.path().c_str(), side.c_str());
  // A run that never ended keeps its IMEI pending: the line may have been its format.
  for (const std::string& uid : repaired) {
    const station::JournalRun* r = journal.find(uid);
    if (!r || !r->imei) continue;
    record_journal_run(*r, records_option);
    action.message += "\nIMEI " + hex(*r->imei) + " of the run at " +
                      platform::local_date_time_text(r->started_at_ms) +
                      (r->unit_serial.empty() ? "" : " (unit " + shown(r->unit_serial) + ")") +
                      " stays pending: a damaged line may have been its format";
  }
  return action;
}

}  // namespace run
