#include "multiport/grid_tile.h"

#include <cstdlib>

#include "platform/operator_text.h"

namespace multiport {

namespace {

// The repeat mode asks for the next handset on stderr without a line end, so
// the prompt begins the next line the child prints there.
constexpr std::string_view kPrompt = "Next handset: Enter to run again, q and Enter to quit: ";
// The same for the prompt after the pending-IMEI question.
constexpr std::string_view kAnswerPrompt = "Answer yes or no: ";
// The repeat mode's prompt for the next unit's serial; its middle depends on
// whether the station requires one.
constexpr std::string_view kUnitPromptStart = "Next unit: ";
constexpr std::string_view kUnitPromptEnd = ", q and Enter to quit: ";
constexpr std::string_view kUnitNotice = "ffsload: unit ";
constexpr std::string_view kAlarmNotice = "ffsload: check the fixture on port ";
constexpr std::string_view kAlarmLine = "ffsload:   failing line ";

std::string without_prompts(const std::string& line) {
  std::string text = line;
  for (bool again = true; again;) {
    again = false;
    for (std::string_view prompt : {kPrompt, kAnswerPrompt}) {
      if (text.starts_with(prompt)) {
        text.erase(0, prompt.size());
        again = true;
      }
    }
    if (text.starts_with(kUnitPromptStart)) {
      const auto end = text.find(kUnitPromptEnd);
      if (end != std::string::npos) {
        text.erase(0, end + kUnitPromptEnd.size());
        again = true;
      }
    }
  }
  return text;
}

// Notes kept on a tile: the latest few, so that a chatty child cannot grow it.
constexpr std::size_t kMessagesKept = 4;

bool read_number(const std::string& text, std::size_t* at, long* value) {
  const std::size_t start = *at;
  while (*at < text.size() && text[*at] >= '0' && text[*at] <= '9') ++*at;
  if (*at == start || *at - start > 9) return false;
  *value = std::strtol(text.substr(start, *at - start).c_str(), nullptr, 10);
  return true;
}

bool read_word(const std::string& text, std::size_t* at, std::string_view word) {
  if (text.compare(*at, word.size(), word) != 0) return false;
  *at += word.size();
  return true;
}

}  // namespace

std::optional<RunSummary> parse_run_summary(const std::string& line) {
  RunSummary summary;
  std::size_t at = 0;
  long run = 0;
  if (!read_word(line, &at, "run ") || !read_number(line, &at, &run) || !read_word(line, &at, ": "))
    return std::nullopt;
  summary.run = static_cast<int>(run);
  if (read_word(line, &at, "green")) {
    summary.outcome = run::RunOutcome::kGreen;
  } else if (read_word(line, &at, "red")) {
    summary.outcome = run::RunOutcome::kRed;
  } else if (read_word(line, &at, "no run")) {
    summary.outcome = run::RunOutcome::kNoRun;
  } else {
    return std::nullopt;
  }
  if (!read_word(line, &at, ", ") || !read_number(line, &at, &summary.seconds) ||
      !read_word(line, &at, " s"))
    return std::nullopt;
  if (at == line.size()) return summary;
  if (!read_word(line, &at, ", ")) return std::nullopt;
  summary.detail = line.substr(at);
  return summary;
}

platform::RunState GridTile::state() const {
  switch (colour_) {
    case TileColour::kYellow:
      return platform::RunState::kRunning;
    case TileColour::kGreen:
      return platform::RunState::kPass;
    case TileColour::kRed:
      return platform::RunState::kFail;
    case TileColour::kWhite:
      break;
  }
  return platform::RunState::kNone;
}

void GridTile::run_started() {
  run_pending();
  stage_ = TileStage::kRunning;
}

void GridTile::run_pending() {
  colour_ = TileColour::kYellow;
  log_.clear();
  elapsed_.clear();
  messages_.clear();
  question_.clear();
  unit_status_.clear();
}

void GridTile::start_failed(const std::string& why) {
  if (stage_ == TileStage::kRunning) end_run_red();
  stage_ = TileStage::kNoChild;
  add_message(platform::OperatorText{"grid.cannot_start", {why}}.english());
}

bool GridTile::child_line(bool from_stderr, const std::string& line) {
  if (!from_stderr) {
    if (stage_ == TileStage::kRunning) {
      if (auto summary = parse_run_summary(line)) {
        stage_ = TileStage::kWaiting;
        elapsed_ = std::to_string(summary->seconds);
        ++runs_;
        if (summary->outcome == run::RunOutcome::kGreen) {
          ++green_;
          colour_ = TileColour::kGreen;
          fixture_alarm_.clear();  // a green run clears the fixture alarm
        } else {
          // A run that could not even open its script loaded nothing: to the
          // operator that is a handset to do again, as a red run is.
          ++red_;
          colour_ = TileColour::kRed;
          if (summary->outcome == run::RunOutcome::kNoRun)
            add_message(platform::OperatorText{"grid.no_run", {summary->detail}}.english());
        }
        return true;
      }
    }
    log_.push_back(line);
    return false;
  }
  std::string text = without_prompts(line);
  if (text.starts_with(kUnitNotice)) {
    unit_status_ = text.substr(9);
    return false;
  }
  if (text.starts_with(kAlarmNotice)) {
    fixture_alarm_ = text.substr(9);
    alarm_lines_follow_ = true;
    return false;
  }
  if (alarm_lines_follow_ && text.starts_with(kAlarmLine)) {
    fixture_alarm_ += "\nfailing line " + text.substr(kAlarmLine.size());
    return false;
  }
  alarm_lines_follow_ = false;
  // A pending-IMEI question is one of the catalogue's, on a line of its own.
  if (text.starts_with("ffsload: ") &&
      platform::recognise_operator_text(std::string_view(text).substr(9), "question.")) {
    question_ = text.substr(9);  // without "ffsload: "
    return false;
  }
  // The header and the closing outcome repeat what the tile shows already.
  if (text.empty() || text.starts_with("ffsload: port ") || text.starts_with("ffsload: green: ") ||
      text.starts_with("ffsload: red: ") || text.starts_with("ffsload: no run: "))
    return false;
  if (text.starts_with("ffsload: ")) text.erase(0, 9);
  add_message(text);
  return false;
}

void GridTile::quitting() {
  if (stage_ != TileStage::kNoChild) stage_ = TileStage::kQuitting;
}

void GridTile::child_ended(const ChildEnd& end) {
  const TileStage was = stage_;
  question_.clear();
  stage_ = TileStage::kNoChild;
  if (was == TileStage::kQuitting) return;
  if (was == TileStage::kRunning) {
    end_run_red();
    add_message(platform::OperatorText{"grid.child_ended", {describe_end(end)}}.english());
    return;
  }
  if (end.signal_number != 0 || end.hung) colour_ = TileColour::kRed;
  add_message(platform::OperatorText{"grid.child_ended", {describe_end(end)}}.english());
}

void GridTile::add_message(const std::string& text) {
  messages_.push_back(text);
  if (messages_.size() > kMessagesKept) messages_.erase(messages_.begin());
}

std::string GridTile::message() const {
  std::string text;
  for (const auto& m : messages_) text += (text.empty() ? "" : "\n") + m;
  return text;
}

void GridTile::end_run_red() {
  ++runs_;
  ++red_;
  colour_ = TileColour::kRed;
}

}  // namespace multiport
