#include "check/custdefine_check.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>

#include "check/line_parts.h"
#include "check/word_rules.h"
#include "link/command_support.h"
#include "platform/file_status.h"
#include "platform/text_format.h"
#include "script/script_line.h"
#include "station/customer_definition.h"

namespace check {

namespace {

using platform::strprintf;

constexpr const char* kQm = "qm";
constexpr int kLowestCustomer = -128;
constexpr int kHighestCustomer = 127;

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

bool is_folder(const std::string& path) {
  return platform::path_kind(path) == platform::PathKind::kFolder;
}

class CustdefineChecker {
 public:
  explicit CustdefineChecker(Report& report) : report_(report) {}

  std::vector<std::string> run(const std::vector<FileLine>& lines) {
    for (const FileLine& fl : lines) check_line(fl);
    return scripts_;
  }

 private:
  void error(int line, const std::string& text) {
    report_.error(station::kCustDefineFile, line, text);
  }
  void warning(int line, const std::string& text) {
    report_.warning(station::kCustDefineFile, line, text);
  }

  void check_line(const FileLine& fl) {
    if (fl.first_read > station::kCustDefineReads) {
      if (fl.parts[0].find_first_not_of(" \t") != std::string::npos) {
        error(fl.number, strprintf("never read: the tool reads only the first %d lines",
                                   station::kCustDefineReads));
      }
      return;
    }
    if (meaningful_parts(fl) > 1) {
      std::string parts;
      for (const auto& p : fl.parts) parts += (parts.empty() ? "" : " and ") + quoted(p);
      error(fl.number,
            strprintf("line longer than %zu characters: the tool reads it as %zu "
                      "lines, %s",
                      station::kCustDefineReadLimit - 1, fl.parts.size(), parts.c_str()));
    }
    for (std::size_t i = 0; i < fl.parts.size(); ++i) {
      if (fl.first_read + static_cast<int>(i) > station::kCustDefineReads) break;
      check_entry(fl.number, fl.parts[i]);
    }
  }

  void check_entry(int line, const std::string& text) {
    const auto words = script::split_words(text, 2);
    const std::string& key = words[0];
    const std::string& name = words[1];
    if (key.empty()) return;  // a blank line
    if (!is_decimal_number(key)) {
      warning(line, strprintf("key %s is not a number: it reads as %g", quoted(key).c_str(),
                              wire::to_decimal(key)));
    }
    if (name.empty()) {
      warning(line, strprintf("key %s names no script", quoted(key).c_str()));
      return;
    }
    if (name == kQm) {
      if (qm_line_ != 0) {
        warning(line, strprintf("only the first \"qm\" line counts (line %d)", qm_line_));
      } else {
        qm_line_ = line;
      }
    }
    check_key(line, key);
    if (name != kQm) check_script_entry(line, name);
  }

  void check_key(int line, const std::string& key) {
    const double tenths = wire::to_decimal(key) * 10.0;
    const long rounded = std::lround(tenths);
    if (std::fabs(tenths - static_cast<double>(rounded)) > 1e-6 || rounded / 10 < kLowestCustomer ||
        rounded / 10 > kHighestCustomer) {
      warning(line, strprintf("key %s can never be chosen: a customer number from %d to %d "
                              "and at most one digit after the point",
                              quoted(key).c_str(), kLowestCustomer, kHighestCustomer));
      return;
    }
    // The lookup takes the first entry with the key, the "qm" line included.
    if (auto [it, fresh] = keys_.emplace(rounded, line); !fresh) {
      warning(line, strprintf("key %s repeats the key of line %d: only the first is ever found",
                              quoted(key).c_str(), it->second));
    }
  }

  void check_script_entry(int line, const std::string& name) {
    if (seen_.insert(name).second) {
      const platform::PathKind kind = platform::path_kind(name);
      if (kind == platform::PathKind::kNone) {
        error(line, strprintf("script %s is missing", quoted(name).c_str()));
        return;  // its folder says nothing more then
      } else if (kind != platform::PathKind::kPlainFile) {
        error(line, strprintf("script %s is a folder", quoted(name).c_str()));
      } else {
        scripts_.push_back(name);
      }
    }
    const std::string folder = station::customer_folder(name);
    if (!folders_.insert(folder).second) return;
    if (!is_folder(folder)) {
      warning(line, strprintf("customer folder %s is missing: the run panel shows no MA_NO",
                              quoted(folder).c_str()));
      return;
    }
    std::ifstream in(folder + "/MA_NO", std::ios::binary);
    if (!in) {
      warning(line, strprintf("%s is missing: the run panel shows no MA_NO",
                              quoted(folder + "/MA_NO").c_str()));
      return;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.size() > station::kMaNoLength) {
      warning(line, strprintf("%s holds %zu characters: the run panel shows only the first %zu, "
                              "%s",
                              quoted(folder + "/MA_NO").c_str(), text.size(), station::kMaNoLength,
                              quoted(station::read_ma_no(name)).c_str()));
    }
  }

  Report& report_;
  int qm_line_ = 0;
  std::map<long, int> keys_;  // key in tenths -> its first line
  std::set<std::string> seen_;
  std::set<std::string> folders_;
  std::vector<std::string> scripts_;
};

}  // namespace

std::vector<std::string> check_custdefine(Report& report) {
  report.file_checked();
  std::FILE* file = std::fopen(station::kCustDefineFile, "rb");
  if (!file) {
    report.error(station::kCustDefineFile, 0,
                 "cannot be opened: the tool shows \"Fail to open file <custdefine>\"");
    return {};
  }
  const std::vector<FileLine> lines = read_line_parts(file, station::kCustDefineReadLimit);
  std::fclose(file);
  return CustdefineChecker(report).run(lines);
}

}  // namespace check
