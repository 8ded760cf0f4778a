#include "check/script_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "check/line_parts.h"
#include "check/word_rules.h"
#include "commands/parameter_words.h"
#include "fs/pc_file.h"
#include "fs/request.h"
#include "link/command_support.h"
#include "platform/file_status.h"
#include "platform/text_format.h"
#include "script/command_table.h"
#include "script/script_line.h"

namespace check {

namespace {

using platform::strprintf;
using script::Command;

// One line as the runner will see it (a part of a long file line).
struct RunnerLine {
  int file_line;     // where it stands in the file
  int runner_line;   // the number the run shows for it
  std::size_t part;  // 0 for the first part of a file line
  std::string text;
};

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

bool is_imei_name(const std::string& pc_name) {
  return pc_name.starts_with("IMEI");
}

// What the runner does with a line that finds no keyword, in words.
std::string skipped_reason(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  const std::string rest = first == std::string::npos ? "" : text.substr(first);
  if (first != 0 && !rest.empty() && script::find_command(rest)) {
    return strprintf("the keyword %s stands after a %s",
                     quoted(std::string(script::find_command(rest)->keyword)).c_str(),
                     text[0] == '\t' ? "tab" : "blank");
  }
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (const Command* c = script::find_command(lower)) {
    return strprintf("%s is written in capitals; the keyword is %s",
                     quoted(text.substr(0, c->keyword.size())).c_str(),
                     quoted(std::string(c->keyword)).c_str());
  }
  return strprintf("%s is no keyword", quoted(script::split_words(text, 1)[0]).c_str());
}

// Lines an engineer marks as comments; the runner skips them like any text.
bool is_comment(const std::string& text) {
  return text.starts_with("#") || text.starts_with(";") || text.starts_with("//");
}

enum class PcFileState { kFine, kMissing, kFolder, kTooLarge };

PcFileState pc_file_state(const std::string& name, long* size) {
  const auto status = platform::file_status(name);
  if (!status) return PcFileState::kMissing;
  if (status->kind != platform::PathKind::kPlainFile) return PcFileState::kFolder;
  *size = static_cast<long>(status->size);
  return status->size > fs::kLargestFile ? PcFileState::kTooLarge : PcFileState::kFine;
}

class ScriptChecker {
 public:
  ScriptChecker(const std::string& path, Report& report, bool explain)
      : path_(path), report_(report), explain_(explain) {}

  void run(const std::vector<FileLine>& file_lines) {
    for (const FileLine& fl : file_lines) {
      for (std::size_t i = 0; i < fl.parts.size(); ++i) {
        lines_.push_back({fl.number, fl.first_read + static_cast<int>(i), i, fl.parts[i]});
      }
    }
    for (const FileLine& fl : file_lines) check_long_line(fl);
    for (std::size_t i = 0; i < lines_.size(); ++i) check_line(i);
  }

 private:
  void error(int line, const std::string& text) { report_.error(path_, line, text); }
  void warning(int line, const std::string& text) { report_.warning(path_, line, text); }

  void check_long_line(const FileLine& fl) {
    if (meaningful_parts(fl) < 2) return;
    std::string parts;
    bool runs = false;
    for (std::size_t i = 0; i < fl.parts.size(); ++i) {
      const std::string& p = fl.parts[i];
      if (i > 0 && p.find_first_not_of(" \t") == std::string::npos) continue;
      const Command* c = script::find_command(p);
      runs = runs || c;
      parts += strprintf("%s part %zu %s %s", parts.empty() ? "" : ";", i + 1, quoted(p).c_str(),
                         c ? ("runs as " + quoted(std::string(c->keyword))).c_str() : "is skipped");
    }
    const std::size_t length = [&] {
      std::size_t n = 0;
      for (const auto& p : fl.parts) n += p.size();
      return n;
    }();
    const std::string text = strprintf(
        "line of %zu characters: the run reads at most %zu at a time, so it becomes %zu lines:%s",
        length, script::kLineReadLimit - 1, fl.parts.size(), parts.c_str());
    runs ? error(fl.number, text) : warning(fl.number, text);
  }

  void check_line(std::size_t index) {
    const RunnerLine& l = lines_[index];
    const Command* c = script::find_command(l.text);
    if (!c) {
      const bool blank = l.text.find_first_not_of(" \t") == std::string::npos;
      if (explain_) explain(l, blank ? "skipped (empty)" : "skipped: " + skipped_reason(l.text));
      // Later parts of a long line are reported with the line itself.
      if (!blank && l.part == 0 && !is_comment(l.text)) {
        warning(l.file_line,
                "not a command, skipped without a word at run time: " + skipped_reason(l.text));
      }
      return;
    }
    const std::string keyword(c->keyword);
    const std::vector<std::string> all = script::split_words(l.text, script::kLineReadLimit);
    const auto given = static_cast<std::size_t>(
        std::count_if(all.begin(), all.end(), [](const std::string& w) { return !w.empty(); }));
    if (all[0] != keyword) {
      warning(l.file_line,
              strprintf("%s begins with the keyword %s and runs as %s", quoted(all[0]).c_str(),
                        quoted(keyword).c_str(), quoted(keyword).c_str()));
    }
    const std::vector<std::string> words = script::split_words(l.text, c->split_words);
    current_line_ = l.text;
    if (explain_) explain(l, describe_call(*c, words));
    if (!check_word_limits(l, *c, words)) return;

    const WordUse use = words_used(keyword, all);
    if (use.unserved) {
      error(l.file_line, use.unserved_text);
      return;
    }
    if (given < use.count) {
      error(l.file_line,
            strprintf("missing word %zu (%s): the line has %zu words, %s takes %zu", given + 1,
                      use.names[given - 1].c_str(), given, quoted(keyword).c_str(), use.count));
      return;
    }
    if (given > use.count) {
      std::string ignored;
      for (std::size_t w = use.count; w < given; ++w) ignored += " " + all[w];
      warning(l.file_line,
              strprintf("words after word %zu are ignored:%s", use.count, ignored.c_str()));
    }
    check_meaning(index, keyword, words);
  }

  std::string describe_call(const Command& c, const std::vector<std::string>& words) {
    std::string args = "the line";
    const std::string keyword(c.keyword);
    if (keyword == "fwr" || keyword == "compare" || keyword == "frd" || keyword == "rm") {
      args += ", directory " + quoted(directory_);
    }
    for (std::size_t n : c.passed) args += ", " + quoted(words[n - 1]);
    std::string text = strprintf("%s: %s(%s)", keyword.c_str(),
                                 std::string(function_name(keyword)).c_str(), args.c_str());
    if (keyword == "cd") text += "; the current handset directory becomes " + quoted(words[1]);
    if (keyword == "tms") text += current_line_.starts_with("tms 0") ? "; mode 0" : "; mode 1";
    return text;
  }

  // The runner refuses a passed word longer than its buffer (status 2).
  bool check_word_limits(const RunnerLine& l, const Command& c,
                         const std::vector<std::string>& words) {
    bool fine = true;
    for (std::size_t n : c.passed) {
      const std::size_t limit = c.word_limits[n - 1];
      if (words[n - 1].size() > limit) {
        error(l.file_line,
              strprintf("word %zu %s has %zu characters, more than %zu: the run refuses the "
                        "line (status %d)",
                        n, quoted(words[n - 1]).c_str(), words[n - 1].size(), limit,
                        script::kStatusWordTooLong));
        fine = false;
      }
    }
    return fine;
  }

  void check_meaning(std::size_t index, const std::string& keyword,
                     const std::vector<std::string>& w) {
    const int line = lines_[index].file_line;
    if (keyword == "cd") {
      directory_ = w[1];  // kept by the runner even when the line is refused
      if (!fs::directory_request(w[1])) {
        error(line, strprintf("directory of %zu characters, a \"cd\" takes at most %zu: the run "
                              "refuses the line",
                              w[1].size(), fs::kDirectoryArea - 7));
      }
    } else if (keyword == "mkdir") {
      if (!fs::make_directory_request(w[1])) {
        error(line, strprintf("name of %zu characters, \"mkdir\" takes at most %zu: the run "
                              "refuses the line",
                              w[1].size(), fs::kMakeDirectoryArea - 5));
      }
    } else if (keyword == "rm") {
      const std::string path = fs::handset_path(directory_, w[1]);
      if (!fs::remove_request(path)) {
        error(line, strprintf("handset path %s has %zu characters, \"rm\" takes at most %zu: the "
                              "run refuses the line",
                              quoted(path).c_str(), path.size(), fs::kRemoveArea - 4));
      }
    } else if (keyword == "fwr" || keyword == "compare") {
      check_pc_read(index, keyword, w[1], w[2]);
    } else if (keyword == "frd") {
      check_read_back(index, w[1], w[2]);
    } else if (keyword == "cw") {
      if (!commands::register_value(w[3])) {
        error(line, strprintf("value %s is not two characters (0x) and four hexadecimal digits: "
                              "the run stops here with status %d and no log line",
                              quoted(w[3]).c_str(), 1));
      }
    } else if (keyword == "sleep") {
      if (!is_decimal_number(w[1])) {
        warning(line, strprintf("%s is not a decimal number of milliseconds: the run waits %g ms",
                                quoted(w[1]).c_str(), wire::to_decimal(w[1])));
      }
    }
  }

  void check_handset_path(int line, const std::string& keyword, const std::string& name) {
    const std::string path = fs::handset_path(directory_, name);
    const bool fits = keyword == "fwr" ? fs::open_request(path).has_value()
                                       : fs::file_query_request(path).has_value();
    if (!fits) {
      const std::size_t limit = keyword == "fwr" ? fs::kOpenArea - 3 : fs::kFileQueryArea - 7;
      error(line, strprintf("handset path %s has %zu characters, %s takes at most %zu: the run "
                            "refuses the line",
                            quoted(path).c_str(), path.size(), quoted(keyword).c_str(), limit));
    }
  }

  // An earlier "frd" of this PC name writes the file the run will read.
  bool read_back_before(std::size_t index, const std::string& pc_name) const {
    return std::any_of(lines_.begin(), lines_.begin() + static_cast<long>(index),
                       [&](const RunnerLine& l) { return frd_pc_name(l) == pc_name; });
  }
  bool imei_read_back_before(std::size_t index) const {
    return std::any_of(lines_.begin(), lines_.begin() + static_cast<long>(index),
                       [&](const RunnerLine& l) { return is_imei_name(frd_pc_name(l)); });
  }
  static std::string frd_pc_name(const RunnerLine& l) {
    const Command* c = script::find_command(l.text);
    if (!c || c->keyword != "frd") return {};
    return script::split_words(l.text, 3)[2];
  }

  void check_pc_read(std::size_t index, const std::string& keyword, const std::string& handset,
                     const std::string& pc) {
    const int line = lines_[index].file_line;
    check_handset_path(line, keyword, handset);
    if (is_imei_name(pc) && !imei_read_back_before(index)) {
      warning(line, strprintf("%s of the IMEI-named file %s with no \"frd\" of an IMEI-named file "
                              "before it: the run skips it without a word",
                              quoted(keyword).c_str(), quoted(pc).c_str()));
      return;
    }
    const bool suffixed = fs::names_agree(handset, pc);
    if (suffixed && pc.size() > fs::kLongestSuffixedName) {
      error(line, strprintf("PC name %s takes the port suffix but has %zu characters, more than "
                            "%zu: the run refuses the line on ports 1 and 2 (status 53)",
                            quoted(pc).c_str(), pc.size(), fs::kLongestSuffixedName));
      return;
    }
    const bool written_by_run = read_back_before(index, pc);
    if (!suffixed) {
      if (!written_by_run) check_pc_file(line, keyword, pc, "");
      return;
    }
    if (written_by_run) return;  // the read-back writes the same suffixed names
    std::string missing;
    int missing_count = 0;
    for (int port : {1, 2, 3}) {
      const std::string name = pc + std::string(fs::port_suffix(port));
      long size = 0;
      const PcFileState state = pc_file_state(name, &size);
      if (state == PcFileState::kMissing) {
        missing += (missing.empty() ? "" : ", ") + quoted(name);
        ++missing_count;
      } else if (state != PcFileState::kFine) {
        check_pc_file(line, keyword, name, strprintf(" (on port %d)", port));
      }
    }
    std::string text = strprintf(
        "PC name %s agrees with the handset name, so it takes the port suffix: port 1 reads %s, "
        "port 2 %s, ports 3 to 8 %s",
        quoted(pc).c_str(), quoted(pc + "_1").c_str(), quoted(pc + "_2").c_str(),
        quoted(pc).c_str());
    if (missing_count == 3) {
      error(line, text + "; none of them exists");
    } else if (missing_count > 0) {
      warning(line, text + "; missing: " + missing);
    } else {
      warning(line, text);
    }
  }

  void check_pc_file(int line, const std::string& keyword, const std::string& name,
                     const std::string& where) {
    long size = 0;
    switch (pc_file_state(name, &size)) {
      case PcFileState::kFine:
        return;
      case PcFileState::kMissing:
        error(line, strprintf("PC file %s is missing%s: the run stops here", quoted(name).c_str(),
                              where.c_str()));
        return;
      case PcFileState::kFolder:
        error(line, strprintf("PC file %s is a folder%s: the run stops here", quoted(name).c_str(),
                              where.c_str()));
        return;
      case PcFileState::kTooLarge:
        error(line,
              strprintf("PC file %s has %ld bytes%s, more than %zu: %s", quoted(name).c_str(), size,
                        where.c_str(), fs::kLargestFile,
                        keyword == "fwr" ? "the run refuses it (status 52)" : "the compare fails"));
        return;
    }
  }

  // A later "fwr" or "compare" that reads back the suffixed names of this read-back.
  bool suffixed_reader_after(std::size_t index, const std::string& pc) const {
    for (std::size_t i = index + 1; i < lines_.size(); ++i) {
      const Command* c = script::find_command(lines_[i].text);
      if (!c || (c->keyword != "fwr" && c->keyword != "compare")) continue;
      const auto w = script::split_words(lines_[i].text, 3);
      if (w[2] == pc && fs::names_agree(w[1], w[2])) return true;
    }
    return false;
  }

  void check_read_back(std::size_t index, const std::string& handset, const std::string& pc) {
    const int line = lines_[index].file_line;
    check_handset_path(line, "frd", handset);
    if (pc.size() > fs::kLongestSuffixedName) {
      error(line, strprintf("PC name %s has %zu characters, more than %zu, too long for the port "
                            "suffix that \"frd\" always adds: the run refuses the line on ports 1 "
                            "and 2 (status 53)",
                            quoted(pc).c_str(), pc.size(), fs::kLongestSuffixedName));
      return;
    }
    const auto slash = pc.rfind('/');
    if (slash != std::string::npos) {
      const std::string folder = slash == 0 ? "/" : pc.substr(0, slash);
      if (platform::path_kind(folder) != platform::PathKind::kFolder) {
        error(line, strprintf("the folder %s of the PC file is missing: the read-back cannot "
                              "write it (status 55)",
                              quoted(folder).c_str()));
      }
    }
    if (!suffixed_reader_after(index, pc)) {
      warning(line,
              strprintf("\"frd\" adds the port suffix: port 1 writes %s, port 2 %s, ports 3 "
                        "to 8 %s",
                        quoted(pc + "_1").c_str(), quoted(pc + "_2").c_str(), quoted(pc).c_str()));
    }
  }

  void explain(const RunnerLine& l, const std::string& text) {
    std::string where;
    if (l.runner_line != l.file_line) where = strprintf(" (run line %d)", l.runner_line);
    report_.explain(path_, l.file_line, text + where);
  }

  const std::string& path_;
  Report& report_;
  bool explain_;
  std::vector<RunnerLine> lines_;
  std::string directory_;  // the current handset directory as the run will hold it
  std::string current_line_;
};

}  // namespace

void check_script(const std::string& path, Report& report, bool explain) {
  report.file_checked();
  const platform::PathKind kind = platform::path_kind(path);
  if (kind != platform::PathKind::kNone && kind != platform::PathKind::kPlainFile) {
    report.error(path, 0, "is a folder, not a script");
    return;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    report.error(path, 0, "cannot be opened: the run shows \"Fail to open file <*.tms>\"");
    return;
  }
  const std::vector<FileLine> lines = read_line_parts(file, script::kLineReadLimit);
  std::fclose(file);
  ScriptChecker(path, report, explain).run(lines);
}

}  // namespace check
