// What the station checker found, printed as a compiler prints it:
// "FILE:LINE: error: TEXT" or "FILE:LINE: warning: TEXT", then one summary.
#pragma once

#include <cstdio>
#include <string>

namespace check {

enum class Severity { kWarning, kError };

// Exit statuses of "ffsload check".
constexpr int kExitClean = 0;
constexpr int kExitWarnings = 1;
constexpr int kExitErrors = 2;

class Report {
 public:
  explicit Report(std::FILE* out) : out_(out) {}

  // line 0: about the file as a whole.
  void add(const std::string& file, int line, Severity severity, const std::string& text);
  void error(const std::string& file, int line, const std::string& text) {
    add(file, line, Severity::kError, text);
  }
  void warning(const std::string& file, int line, const std::string& text) {
    add(file, line, Severity::kWarning, text);
  }
  // A line of --explain: what the runner will do with a script line.
  void explain(const std::string& file, int line, const std::string& text);
  void file_checked() { ++files_; }

  int errors() const { return errors_; }
  int warnings() const { return warnings_; }
  int exit_status() const;
  // "ffsload check: 4 files: 1 error, 2 warnings" or "... no problems".
  void print_summary();

 private:
  void print(const std::string& file, int line, const char* kind, const std::string& text);
  std::FILE* out_;
  int errors_ = 0;
  int warnings_ = 0;
  int files_ = 0;
};

}  // namespace check
