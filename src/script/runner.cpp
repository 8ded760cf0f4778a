#include "script/runner.h"

#include <chrono>
#include <csignal>

#include "platform/file_status.h"
#include "platform/run_panel.h"
#include "platform/stop_signals.h"
#include "platform/text_format.h"
#include "platform/user_interface.h"
#include "script/command_table.h"
#include "script/run_control.h"
#include "script/script_line.h"

namespace script {

namespace {

// The run log shows this many lines; from then on it scrolls with the script.
constexpr int kVisibleLogLines = 15;

std::int64_t utc_now_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// The script file while a run reads it.
struct ScriptFile {
  std::FILE* file = nullptr;
  ~ScriptFile() {
    if (file) std::fclose(file);
  }
};

}  // namespace

int Runner::run_line(const std::string& line, std::string& directory) {
  const Command* command = find_command(line);
  if (!command) return 0;
  std::vector<std::string> words = split_words(line, command->split_words);
  // A word longer than its buffer would be cut without anyone noticing (a
  // file name written to the wrong file): refuse the line instead.
  for (std::size_t number : command->passed) {
    const std::size_t limit = command->word_limits[number - 1];
    if (words[number - 1].size() > limit) {
      link_.log().line(platform::strprintf("%s  => %d (0): word %zu longer than %zu characters",
                                           line.c_str(), kStatusWordTooLong, number, limit));
      return kStatusWordTooLong;
    }
  }
  return command->run(*this, line, directory, words);
}

RunEnd Runner::download() {
  using namespace platform;
  RunEnd end;  // a script that cannot be opened is no run
  int status = 0;
  int line_number = 1;
  // Binary mode: the line reader drops a carriage return before a line feed
  // itself, so scripts written on either system read alike.
  ScriptFile DownloadFile{std::fopen(tmsfile.c_str(), "rb")};
  // A folder opens on this system but is no script.
  if (DownloadFile.file) {
    const auto opened = platform::file_status(DownloadFile.file);
    if (!opened || opened->kind != platform::PathKind::kPlainFile) {
      std::fclose(DownloadFile.file);
      DownloadFile.file = nullptr;
    }
  }
  if (!DownloadFile.file) {
    ErrorPopup({"file.script_missing", {}});
    return end;
  }
  std::string directory;  // the current handset directory: empty until a "cd" line
  guard_.reset();
  current_line_ = 0;
  while (status == 0) {
    // A stop waits for the end of a command, and never leaves a formatted
    // handset without the IMEI that this run backed up.
    if (platform::stop_requested() && !guard_.at_risk()) {
      end.stopped = true;
      break;
    }
    std::optional<std::string> line = read_script_line(DownloadFile.file);
    if (!line) break;
    SetCtrlVal(run_panel(), kLineCounterControl, strprintf("%d", line_number));
    ++line_number;
    if (line_number > kVisibleLogLines) {
      SetCtrlAttribute(run_panel(), kRunLogControl, kAttrFirstVisibleLine,
                       line_number - kVisibleLogLines);
    }
    cut_line_end(*line);
    end.line_number = line_number - 1;
    current_line_ = end.line_number;
    end.line = *line;
    const bool command = find_command(*line) != nullptr;
    const std::int64_t line_started_ms = utc_now_ms();
    status = run_line(*line, directory);
    end.status = status;
    if (command)
      end.lines.push_back({end.line_number, *line, status, line_started_ms, utc_now_ms()});
  }
  std::fclose(DownloadFile.file);
  DownloadFile.file = nullptr;
  guard_.claims().release();
  // A stopped run did not do every command: it must not look green.
  const bool green = status == 0 && !end.stopped;
  end.outcome = green ? RunOutcome::kGreen : RunOutcome::kRed;
  SetCtrlAttribute(run_panel(), kRunLogControl, kAttrBackColor, green ? kColorGreen : kColorRed);
  return end;
}

}  // namespace script
