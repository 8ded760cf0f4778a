#include "station/run_journal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/durable_files.h"
#include "platform/file_names.h"
#include "platform/file_status.h"
#include "platform/files.h"
#include "platform/whole_files.h"

namespace station {

namespace {

// A line is "KIND FIELD... *CHECK": fields are percent-encoded (so that a
// space, a line end or any byte of a station file cannot break the line), an
// empty field is "-", and CHECK is the FNV-1a hash of everything before " *",
// which finds a line that a power cut tore or a disk damaged.
std::uint32_t fnv1a(const std::string& text) {
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 16777619u;
  }
  return hash;
}

std::string encode(const std::string& field) {
  if (field.empty()) return "-";
  std::string out;
  for (unsigned char c : field) {
    if (c <= ' ' || c >= 0x7F || c == '%' || c == '*' || (c == '-' && field.size() == 1)) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> decode(const std::string& field) {
  if (field == "-") return std::string();
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '%') {
      out += field[i];
      continue;
    }
    if (i + 2 >= field.size()) return std::nullopt;
    const int high = hex_digit(field[i + 1]);
    const int low = hex_digit(field[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::string hex_of(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  for (std::uint8_t b : bytes) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", b);
    out += hex;
  }
  return out;
}

std::optional<std::vector<std::uint8_t>> bytes_of(const std::string& hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = hex_digit(hex[i]);
    const int low = hex_digit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return out;
}

std::optional<std::int64_t> number_of(const std::string& text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string line_of(const std::vector<std::string>& fields) {
  std::string body;
  for (const std::string& f : fields) {
    if (!body.empty()) body += ' ';
    body += encode(f);
  }
  char check[16];
  std::snprintf(check, sizeof check, " *%08x", fnv1a(body));
  return body + check + "\n";
}

// Splits a line and checks it; nullopt for a damaged one.
std::optional<std::vector<std::string>> fields_of(const std::string& line) {
  const auto star = line.rfind(" *");
  if (star == std::string::npos || line.size() - star != 10) return std::nullopt;
  const std::string body = line.substr(0, star);
  char check[16];
  std::snprintf(check, sizeof check, "%08x", fnv1a(body));
  if (line.compare(star + 2, 8, check) != 0) return std::nullopt;
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (start <= body.size()) {
    const auto space = body.find(' ', start);
    auto field = decode(body.substr(start, space - start));
    if (!field) return std::nullopt;
    fields.push_back(std::move(*field));
    if (space == std::string::npos) break;
    start = space + 1;
  }
  return fields;
}

std::optional<ImeiFate> fate_of(const std::string& word) {
  if (word == "written-back") return ImeiFate::kWrittenBack;
  if (word == "restored") return ImeiFate::kRestored;
  if (word == "kept-aside") return ImeiFate::kKeptAside;
  return std::nullopt;
}

const char* fate_word(ImeiFate fate) {
  switch (fate) {
    case ImeiFate::kWrittenBack:
      return "written-back";
    case ImeiFate::kRestored:
      return "restored";
    case ImeiFate::kKeptAside:
      return "kept-aside";
    case ImeiFate::kNone:
      break;
  }
  return "";
}

// A start line: the ten fields of the first journals, then the run's identity.
std::vector<std::string> start_fields(const JournalRun& r) {
  return {"start",
          r.uid,
          std::to_string(r.started_at_ms),
          std::to_string(r.port),
          r.device,
          r.customer,
          r.script,
          r.ma_no,
          r.station,
          r.tool_version,
          r.unit_serial,
          r.operator_id,
          r.attempt ? std::to_string(*r.attempt) : std::string(),
          r.fixture,
          r.front_end};
}

// The lines that give back a run as it stands.
std::vector<std::vector<std::string>> lines_for(const JournalRun& r) {
  std::vector<std::vector<std::string>> lines;
  lines.push_back(start_fields(r));
  if (r.imei) lines.push_back({"imei", r.uid, hex_of(*r.imei), r.pc_file});
  if (r.formatted) lines.push_back({"format", r.uid});
  if (r.written_back) lines.push_back({"written", r.uid});
  if (r.ended) lines.push_back({"end", r.uid, r.outcome});
  if (r.interrupted) lines.push_back({"interrupted", r.uid});
  if (r.unrecorded) lines.push_back({"unrecorded", r.uid});
  if (!r.unqueued_end.empty()) lines.push_back({"unqueued", r.uid, r.unqueued_end});
  if (!r.repaired_note.empty()) lines.push_back({"repaired", r.uid, r.repaired_note});
  if (!r.reopened_note.empty() && r.fate == ImeiFate::kNone) {
    lines.push_back({"reopened", r.uid, r.reopened_note});
  }
  if (r.fate != ImeiFate::kNone) {
    if (r.fate_note.empty()) {
      lines.push_back({"settled", r.uid, fate_word(r.fate)});
    } else {
      lines.push_back({"settled", r.uid, fate_word(r.fate), r.fate_note});
    }
  }
  return lines;
}

}  // namespace

const char* fate_name(ImeiFate fate) {
  switch (fate) {
    case ImeiFate::kWrittenBack:
      return "written back";
    case ImeiFate::kRestored:
      return "restored";
    case ImeiFate::kKeptAside:
      return "kept aside";
    case ImeiFate::kNone:
      break;
  }
  return "";
}

std::string journal_file_name(int port) {
  return "run-journal_" + std::to_string(port);
}

std::string station_folder() {
  const char* value = std::getenv(kStationFolderVariable);
  if (value && *value) return value;
  // A run started by hand inside a port's folder "ports/N" (it works: the
  // folder links the station's files) is still a run of that station: its
  // journal and its lock are the station's, or it would slip past a run of
  // the station on the same port.
  std::error_code error;
  const std::filesystem::path here = std::filesystem::current_path(error);
  if (!error && here.has_parent_path()) {
    const std::string name = here.filename().string();
    const std::filesystem::path ports = here.parent_path();
    const bool number = !name.empty() && name.size() <= 2 &&
                        name.find_first_not_of("0123456789") == std::string::npos;
    if (number && ports.filename() == "ports" &&
        std::filesystem::exists(ports.parent_path() / "custdefine", error)) {
      return ports.parent_path().string();
    }
  }
  return ".";
}

std::string journal_path(const std::string& station, int port) {
  return station == "." ? journal_file_name(port) : station + "/" + journal_file_name(port);
}

std::string old_journal_path(const std::string& station, int port) {
  const std::string n = std::to_string(port);
  return (station == "." ? std::string() : station + "/") + "ports/" + n + "/" +
         journal_file_name(port);
}

RunJournal::~RunJournal() = default;

bool RunJournal::lock() {
  const std::string name = path_ + ".lock";
  const platform::FileLock::Result taken = lock_.take(name);
  if (taken == platform::FileLock::Result::kHeld) return true;
  busy_ = taken == platform::FileLock::Result::kBusy;
  error_ =
      busy_ ? path_ + " is in use by another run on this port" : name + ": " + std::strerror(errno);
  return false;
}

const JournalRun* RunJournal::find(const std::string& uid) const {
  const auto at = index_.find(uid);
  return at == index_.end() ? nullptr : &runs_[at->second];
}

JournalRun& RunJournal::entry(const std::string& uid) {
  const auto [at, added] = index_.try_emplace(uid, runs_.size());
  if (added) {
    runs_.push_back(JournalRun{});
    runs_.back().uid = uid;
  }
  return runs_[at->second];
}

void RunJournal::reindex() {
  index_.clear();
  for (std::size_t i = 0; i < runs_.size(); ++i) index_.emplace(runs_[i].uid, i);
}

bool RunJournal::load() {
  runs_.clear();
  index_.clear();
  damaged_.clear();
  damaged_lines_.clear();
  size_ = 0;
  torn_end_ = false;
  std::string text;
  if (platform::read_whole_file(path_, &text, &error_) == platform::WholeRead::kFailed) {
    return false;
  }
  size_ = text.size();
  torn_end_ = !text.empty() && text.back() != '\n';
  std::size_t start = 0;
  int number = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    ++number;
    start = end + 1;
    // A journal saved by an editor with CR LF line ends reads as it was written.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const auto fields = fields_of(line);
    if (!fields || fields->size() < 2) {
      damaged_.push_back("line " + std::to_string(number) + " does not read back whole");
      damaged_lines_.push_back(line);
      continue;
    }
    apply(*fields, line);
  }
  return true;
}

void RunJournal::apply(const std::vector<std::string>& f, const std::string& raw) {
  const std::string& kind = f[0];
  auto damaged = [&] {
    damaged_.push_back("a \"" + kind + "\" line that does not make sense");
    damaged_lines_.push_back(raw);
  };
  if (kind == "start" && (f.size() == 10 || f.size() == 15)) {
    const auto started = number_of(f[2]);
    const auto port = number_of(f[3]);
    if (!started || !port) return damaged();
    std::optional<std::int64_t> attempt;
    if (f.size() == 15 && !f[12].empty()) {
      attempt = number_of(f[12]);
      if (!attempt || *attempt > 1'000'000'000) return damaged();
    }
    JournalRun& r = entry(f[1]);
    r.started_at_ms = *started;
    r.port = static_cast<int>(*port);
    r.device = f[4];
    r.customer = f[5];
    r.script = f[6];
    r.ma_no = f[7];
    r.station = f[8];
    r.tool_version = f[9];
    if (f.size() == 15) {
      r.unit_serial = f[10];
      r.operator_id = f[11];
      if (attempt) r.attempt = static_cast<int>(*attempt);
      r.fixture = f[13];
      r.front_end = f[14];
    }
  } else if (kind == "imei" && f.size() == 4) {
    auto bytes = bytes_of(f[2]);
    if (!bytes) return damaged();
    JournalRun& r = entry(f[1]);
    r.imei = std::move(*bytes);
    r.pc_file = f[3];
    // A new backup within the same run starts its risk anew.
    r.formatted = false;
    r.written_back = false;
  } else if (kind == "format" && f.size() == 2) {
    JournalRun& r = entry(f[1]);
    if (r.imei) {
      r.formatted = true;
      r.written_back = false;
    }
  } else if (kind == "written" && f.size() == 2) {
    entry(f[1]).written_back = true;
  } else if (kind == "end" && f.size() == 3) {
    JournalRun& r = entry(f[1]);
    r.ended = true;
    r.outcome = f[2];
  } else if (kind == "interrupted" && f.size() == 2) {
    entry(f[1]).interrupted = true;
  } else if (kind == "unrecorded" && f.size() == 2) {
    entry(f[1]).unrecorded = true;
  } else if (kind == "recorded" && f.size() == 2) {
    entry(f[1]).unrecorded = false;
  } else if (kind == "unqueued" && f.size() == 3 && !f[2].empty()) {
    entry(f[1]).unqueued_end = f[2];
  } else if (kind == "queued" && f.size() == 2) {
    entry(f[1]).unqueued_end.clear();
  } else if (kind == "settled" && (f.size() == 3 || f.size() == 4)) {
    const auto fate = fate_of(f[2]);
    if (!fate) return damaged();
    JournalRun& r = entry(f[1]);
    r.fate = *fate;
    r.fate_note = f.size() == 4 ? f[3] : "";
    r.reopened_note.clear();
  } else if (kind == "reopened" && f.size() == 3) {
    JournalRun& r = entry(f[1]);
    r.fate = ImeiFate::kNone;
    r.fate_note.clear();
    r.reopened_note = f[2];
  } else if (kind == "repaired" && f.size() == 3) {
    JournalRun& r = entry(f[1]);
    r.repaired_note = f[2];
    if (r.imei && !r.ended) r.formatted = true;
  } else if (kind == "resolved" && f.size() == 3) {
    // A line engineer's note that damaged lines were read and moved aside.
  } else {
    damaged();
  }
}

bool RunJournal::append(const std::vector<std::string>& fields, Flush flush) {
  if (!append_text(line_of(fields), flush)) return false;
  apply(fields, line_of(fields));
  return true;
}

bool RunJournal::append_text(std::string text, Flush flush) {
  // A torn last line keeps its own line: the new entry never joins it.
  if (torn_end_) text = "\n" + text;
  // A new journal is flushed at once, its name in the folder with it.
  const auto sync =
      flush == Flush::kNow ? platform::AppendSync::kNow : platform::AppendSync::kWithNextAppend;
  if (!platform::append_durably(path_, text, sync, &error_)) return false;
  torn_end_ = false;
  size_ += text.size();
  return true;
}

bool RunJournal::started(const JournalRun& r) {
  return append(start_fields(r));
}

bool RunJournal::backed_up(const std::string& uid, const std::vector<std::uint8_t>& imei,
                           const std::string& pc_file) {
  return append({"imei", uid, hex_of(imei), pc_file}, Flush::kWithNextLine);
}

bool RunJournal::formatting(const std::string& uid) {
  return append({"format", uid});
}

bool RunJournal::written_back(const std::string& uid) {
  return append({"written", uid});
}

bool RunJournal::ended(const std::string& uid, const std::string& outcome) {
  return append({"end", uid, outcome});
}

bool RunJournal::interrupted(const std::string& uid) {
  return append({"interrupted", uid});
}

bool RunJournal::settled(const std::string& uid, ImeiFate fate, const std::string& note) {
  if (fate == ImeiFate::kNone) return false;
  if (note.empty()) return append({"settled", uid, fate_word(fate)});
  return append({"settled", uid, fate_word(fate), note});
}

bool RunJournal::reopened(const std::string& uid, const std::string& note) {
  return append({"reopened", uid, note});
}

bool RunJournal::unrecorded(const std::string& uid) {
  return append({"unrecorded", uid});
}

bool RunJournal::recorded(const std::string& uid) {
  return append({"recorded", uid});
}

bool RunJournal::unqueued(const std::string& uid, const std::string& end) {
  if (end.empty()) return false;
  return append({"unqueued", uid, end});
}

bool RunJournal::queued(const std::string& uid) {
  return append({"queued", uid});
}

bool RunJournal::absorb(const std::string& other) {
  if (platform::path_kind_no_follow(other) == platform::PathKind::kNone) return true;
  RunJournal old(other);
  // A run that an older ffsload started in the port's folder may still be
  // going: its journal is taken in only once nobody holds it.
  if (!old.lock()) {
    error_ = old.busy() ? other +
                              " is held by a run started in the port's folder: wait for it "
                              "to end"
                        : old.error();
    busy_ = old.busy();
    return false;
  }
  if (!old.load()) {
    error_ = old.error();
    return false;
  }
  std::string text;
  for (const JournalRun& r : old.runs()) {
    if (find(r.uid)) continue;  // taken in already, before a crash
    for (const auto& fields : lines_for(r)) text += line_of(fields);
  }
  // A damaged line may be a pending IMEI: it moves too, and stays damaged.
  for (const std::string& line : old.damaged_lines()) {
    if (std::find(damaged_lines_.begin(), damaged_lines_.end(), line) == damaged_lines_.end()) {
      text += line + "\n";
    }
  }
  if (!text.empty() && !append_text(text, Flush::kNow)) return false;
  const std::string moved = other + ".moved";
  if (!platform::replace_file(other, moved) || !platform::sync_folder_of(moved)) {
    error_ = other + ": cannot move it aside after taking it in: " + std::strerror(errno);
    return false;
  }
  return load();
}

bool RunJournal::compact(std::size_t max_bytes) {
  if (size_ <= max_bytes) return true;
  std::vector<JournalRun> kept;
  for (const JournalRun& r : runs_) {
    if (r.open() || r.imei_pending() || r.fate == ImeiFate::kKeptAside || r.unrecorded ||
        !r.unqueued_end.empty()) {
      kept.push_back(r);
    }
  }
  return rewrite(kept, true);
}

bool RunJournal::resolve_damaged(const std::string& note, std::string* damaged_file,
                                 std::vector<std::string>* repaired) {
  if (damaged_lines_.empty()) return true;
  // What each damaged line still shows: its kind and the run it names, and
  // for an IMEI line the IMEI and its PC file, read as far as they go.
  std::vector<JournalRun> runs = runs_;
  bool unattributed = false;
  std::unordered_map<std::string, bool> named;  // uid -> may have been its imei or format line
  std::unordered_map<std::string, std::pair<std::vector<std::uint8_t>, std::string>> imeis;
  std::vector<std::pair<std::vector<std::uint8_t>, std::string>> unattributed_imeis;
  for (const std::string& line : damaged_lines_) {
    std::vector<std::string> words;
    for (std::size_t start = 0; start <= line.size();) {
      auto space = line.find(' ', start);
      if (space == std::string::npos) space = line.size();
      words.push_back(decode(line.substr(start, space - start)).value_or(""));
      start = space + 1;
    }
    const std::string kind = words.empty() ? "" : words[0];
    const bool harmless = kind == "written" || kind == "end" || kind == "interrupted" ||
                          kind == "unrecorded" || kind == "recorded" || kind == "unqueued" ||
                          kind == "queued" || kind == "resolved";
    if (words.size() < 2 || !find(words[1])) {
      // A line that names no run known here may have been any run's.
      if (!harmless) unattributed = true;
      if (kind == "imei" && words.size() >= 3) {
        if (auto bytes = bytes_of(words[2]); bytes && bytes->size() == 8) {
          unattributed_imeis.emplace_back(*bytes, words.size() >= 4 ? words[3] : "");
        }
      }
      continue;
    }
    if (harmless) continue;
    named[words[1]] = true;
    if (kind == "imei" && words.size() >= 3) {
      if (auto bytes = bytes_of(words[2]); bytes && bytes->size() == 8) {
        imeis[words[1]] = {*bytes, words.size() >= 4 ? words[3] : ""};
      }
    }
  }
  // An IMEI line whose run cannot be read goes to the one run that never
  // ended and has no IMEI, or, with none or several, stays pending on its own.
  for (std::size_t n = 0; n < unattributed_imeis.size(); ++n) {
    const auto& [bytes, pc_file] = unattributed_imeis[n];
    std::vector<JournalRun*> open_without;
    for (JournalRun& r : runs) {
      if (!r.ended && !r.imei && imeis.find(r.uid) == imeis.end()) open_without.push_back(&r);
    }
    if (open_without.size() == 1) {
      imeis[open_without.front()->uid] = {bytes, pc_file};
      continue;
    }
    JournalRun recovered;
    recovered.uid = "recovered-" + std::to_string(fnv1a(note)) + "-" + std::to_string(n + 1);
    recovered.port = runs.empty() ? 0 : runs.front().port;
    recovered.interrupted = true;
    runs.push_back(recovered);
    imeis[recovered.uid] = {bytes, pc_file};
  }
  for (JournalRun& r : runs) {
    if (r.ended || r.written_back || r.fate != ImeiFate::kNone) continue;
    if (!unattributed && !named.count(r.uid)) continue;
    if (!r.imei) {
      const auto seen = imeis.find(r.uid);
      if (seen == imeis.end()) continue;
      r.imei = seen->second.first;
      r.pc_file = seen->second.second;
    }
    if (r.formatted) continue;
    r.formatted = true;
    r.repaired_note = "a damaged line may have been its IMEI or format line; " + note;
    if (repaired) repaired->push_back(r.uid);
  }
  const std::string side = path_ + ".damaged";
  std::string text;
  for (const std::string& line : damaged_lines_) text += line + "\n";
  std::string why;
  if (!platform::append_durably(side, text, platform::AppendSync::kNow, &why) ||
      !platform::sync_folder_of(side)) {
    error_ = side + ": cannot keep the damaged lines";
    return false;
  }
  if (damaged_file) *damaged_file = side;
  const std::size_t count = damaged_lines_.size();
  if (!rewrite(runs, false)) return false;
  damaged_.clear();
  return append({"resolved", std::to_string(count), note});
}

bool RunJournal::rewrite(const std::vector<JournalRun>& keep, bool keep_damaged) {
  std::string text;
  for (const JournalRun& r : keep) {
    for (const auto& fields : lines_for(r)) text += line_of(fields);
  }
  if (keep_damaged) {
    for (const std::string& line : damaged_lines_) text += line + "\n";
  }
  std::vector<JournalRun> kept = keep;
  if (!platform::replace_file_durably(path_, text, &error_)) return false;
  runs_ = std::move(kept);
  reindex();
  if (!keep_damaged) damaged_lines_.clear();
  size_ = text.size();
  torn_end_ = false;
  return true;
}

}  // namespace station
