#include "run/pending_imeis.h"

#include "platform/date_time.h"
#include "platform/text_format.h"
#include "records/run_record.h"
#include "run/recording.h"

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
  for (const station::JournalRun& r : journal.runs()) {
    if (r.imei_pending()) j.pending.push_back(r);
    if (r.fate == station::ImeiFate::kKeptAside) j.kept_aside.push_back(r);
  }
  j.damage = journal.damaged();
  j.damaged_lines = journal.damaged_lines();
  return j;
}

std::string text_or_dash(const std::string& text) {
  return text.empty() ? "-" : text;
}

std::string entry_line(const PortJournal& j, const char* state, const station::JournalRun& r) {
  return platform::strprintf("%4d  %-10s  %-19s  %-16s  %-8s  %-16s  %-8s  %s\n", j.port, state,
                             platform::local_date_time_text(r.started_at_ms).c_str(),
                             text_or_dash(r.unit_serial).c_str(), text_or_dash(r.customer).c_str(),
                             r.imei ? hex(*r.imei).c_str() : "-", text_or_dash(r.front_end).c_str(),
                             text_or_dash(r.pc_file).c_str());
}

// The port's journal taken for an engineer's action, with what an older
// ffsload kept in the port's folder: false with *message when a run holds
// it or it cannot be read.
bool take(station::RunJournal& journal, const std::string& station, int port,
          std::string* message) {
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
                                  i < j.damage.size() ? j.damage[i].c_str() : "a line",
                                  j.path.c_str(), j.damaged_lines[i].c_str());
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
         "front end PC file\n" +
         text;
}

bool imei_pending_on_port(const std::string& station, int port,
                          const std::vector<std::uint8_t>& imei) {
  for (const std::string& path :
       {station::journal_path(station, port), station::old_journal_path(station, port)}) {
    const PortJournal j = read_one(path, port, false);
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
  station::RunJournal journal(station::journal_path(station, port));
  if (!take(journal, station, port, &action.message)) return action;
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

EngineerAction resolve_damaged_lines(const std::string& station, int port,
                                     const std::string& note) {
  EngineerAction action;
  station::RunJournal journal(station::journal_path(station, port));
  if (!take(journal, station, port, &action.message)) return action;
  const std::size_t count = journal.damaged_lines().size();
  if (count == 0) {
    action.usage = true;
    action.message = "the run journal of port " + std::to_string(port) + " has no damaged line";
    return action;
  }
  std::string side;
  if (!journal.resolve_damaged(note, &side)) {
    action.message = journal.error();
    return action;
  }
  action.done = true;
  action.message =
      platform::strprintf("%zu damaged line(s) of %s are set aside in %s; the port formats again",
                          count, journal.path().c_str(), side.c_str());
  return action;
}

}  // namespace run
