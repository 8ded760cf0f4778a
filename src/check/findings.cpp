#include "check/findings.h"

namespace check {

void Report::print(const std::string& file, int line, const char* kind, const std::string& text) {
  if (line > 0) {
    std::fprintf(out_, "%s:%d: %s: %s\n", file.c_str(), line, kind, text.c_str());
  } else {
    std::fprintf(out_, "%s: %s: %s\n", file.c_str(), kind, text.c_str());
  }
}

void Report::add(const std::string& file, int line, Severity severity, const std::string& text) {
  if (severity == Severity::kError) {
    ++errors_;
    print(file, line, "error", text);
  } else {
    ++warnings_;
    print(file, line, "warning", text);
  }
}

void Report::explain(const std::string& file, int line, const std::string& text) {
  print(file, line, "explain", text);
}

int Report::exit_status() const {
  if (errors_ > 0) return kExitErrors;
  return warnings_ > 0 ? kExitWarnings : kExitClean;
}

void Report::print_summary() {
  auto count = [](int n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
  };
  std::fprintf(out_, "ffsload check: %s checked: ", count(files_, "file").c_str());
  if (errors_ == 0 && warnings_ == 0) {
    std::fprintf(out_, "no problems\n");
  } else {
    std::fprintf(out_, "%s, %s\n", count(errors_, "error").c_str(),
                 count(warnings_, "warning").c_str());
  }
  std::fflush(out_);
}

}  // namespace check
