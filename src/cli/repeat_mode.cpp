#include "cli/repeat_mode.h"

#include <cstdlib>
#include <string>

#include "platform/stop_signals.h"
#include "platform/terminal.h"
#include "platform/text_format.h"
#include "script/run_control.h"

namespace cli {

namespace {

constexpr const char* kGreenColour = "\033[1;32m";
constexpr const char* kRedColour = "\033[1;31m";
constexpr const char* kPlain = "\033[0m";

bool wants_colour(std::FILE* out) {
  // https://no-color.org: a set NO_COLOR keeps terminals plain too.
  const char* no_color = std::getenv("NO_COLOR");
  if (no_color && *no_color) return false;
  return platform::is_terminal(out);
}

// Reads one whole line of any length; false at the end of the input.
bool read_answer(std::FILE* in, std::string* answer) {
  answer->clear();
  for (;;) {
    const int c = std::fgetc(in);
    if (c == EOF) return !answer->empty();
    if (c == '\n') return true;
    answer->push_back(static_cast<char>(c));
  }
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

}  // namespace

RepeatMode::RepeatMode(bool on, std::FILE* in, std::FILE* out, std::FILE* prompt_out)
    : on_(on), in_(in), out_(out), prompt_out_(prompt_out), colour_(on && wants_colour(out)) {}

void RepeatMode::summarise(const run::RunResult& result) {
  ++runs_;
  if (!on_) return;
  const char* name = run::outcome_name(result.outcome);
  std::string outcome = name;
  if (colour_ && result.outcome != run::RunOutcome::kNoRun) {
    outcome =
        (result.outcome == run::RunOutcome::kGreen ? kGreenColour : kRedColour) + outcome + kPlain;
  }
  std::string line =
      platform::strprintf("run %d: %s, %ld s", runs_, outcome.c_str(), result.elapsed_seconds);
  const script::RunEnd& end = result.end;
  if (result.outcome == run::RunOutcome::kRed && end.stopped) {
    line += ", stopped on request";
  } else if (result.outcome == run::RunOutcome::kRed) {
    line +=
        platform::strprintf(", line %d: %s => %d", end.line_number, end.line.c_str(), end.status);
  } else if (result.outcome == run::RunOutcome::kNoRun && !result.refusal.empty()) {
    // The MES's lock or its word on the unit, said on stderr already.
    line += ", refused before the handset was touched";
  } else if (result.outcome == run::RunOutcome::kNoRun) {
    line += ", the script could not be opened";
  }
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

fs::PendingAnswer RepeatMode::ask_pending_imei(const std::string& question) {
  for (;;) {
    if (platform::stop_requested()) return fs::PendingAnswer::kNoAnswer;
    // The question on a line of its own, so that a grid tile reading the
    // child's stderr line by line sees it before the prompt.
    std::fprintf(prompt_out_, "ffsload: %s\nAnswer yes or no: ", question.c_str());
    std::fflush(prompt_out_);
    std::string answer;
    if (!read_answer(in_, &answer)) {
      std::fprintf(prompt_out_, "\n");
      return fs::PendingAnswer::kNoAnswer;
    }
    const std::string word = trimmed(answer);
    if (word == "yes" || word == "y" || word == "YES" || word == "Y")
      return fs::PendingAnswer::kRestore;
    if (word == "no" || word == "n" || word == "NO" || word == "N")
      return fs::PendingAnswer::kKeepAside;
  }
}

bool RepeatMode::next_unit(const station::StationSettings& settings,
                           std::optional<std::string>* serial) {
  serial->reset();
  for (;;) {
    if (platform::stop_requested()) return false;
    std::fprintf(prompt_out_,
                 "Next unit: scan or type its serial and Enter%s, q and Enter to quit: ",
                 settings.unit_serial == station::Asking::kRequired ? "" : " (Enter alone: none)");
    std::fflush(prompt_out_);
    std::string answer;
    const bool got = read_answer(in_, &answer);
    if (!got || platform::stop_requested()) {
      std::fprintf(prompt_out_, "\n");
      return false;
    }
    // A scanner's CR LF, or a pasted line's blanks, are not part of a serial.
    const std::string text = trimmed(answer);
    if (text == "q" || text == "Q") return false;
    if (text.empty()) {
      if (settings.unit_serial != station::Asking::kRequired) return true;
      std::fprintf(prompt_out_, "ffsload: this station requires the unit's serial\n");
      continue;
    }
    if (const std::string why = station::unit_serial_problem(settings, text); !why.empty()) {
      std::fprintf(prompt_out_, "ffsload: %s: nothing runs\n", why.c_str());
      continue;
    }
    *serial = text;
    return true;
  }
}

bool RepeatMode::next() {
  if (!on_ || platform::stop_requested()) return false;
  std::fprintf(prompt_out_, "Next handset: Enter to run again, q and Enter to quit: ");
  std::fflush(prompt_out_);
  std::string answer;
  const bool got = read_answer(in_, &answer);
  if (!got || platform::stop_requested()) {
    std::fprintf(prompt_out_, "\n");
    return false;
  }
  const std::string word = trimmed(answer);
  return word != "q" && word != "Q";
}

}  // namespace cli
