#include "script/runner.h"

#include <chrono>
#include <csignal>

#include "fs/imei_guard.h"
#include "platform/file_claims.h"
#include "platform/file_status.h"
#include "platform/run_panel.h"
#include "platform/text_format.h"
#include "platform/user_interface.h"
#include "script/command_table.h"
#include "script/run_control.h"
#include "script/script_line.h"

std::string tmsfile;
std::FILE* DownloadFile = nullptr;

namespace script {

namespace {
volatile std::sig_atomic_t g_stop_requested = 0;
volatile std::sig_atomic_t g_current_line = 0;
RunEnd g_run_end;
RunEnd& run_end_record() {
  return g_run_end;
}
}  // namespace

void request_stop() {
  g_stop_requested = 1;
}

bool stop_requested() {
  return g_stop_requested != 0;
}

void clear_stop_request() {
  g_stop_requested = 0;
}

int current_line_number() {
  return g_current_line;
}

const RunEnd& last_run_end() {
  return g_run_end;
}

// The run log shows this many lines; from then on it scrolls with the script.
constexpr int kVisibleLogLines = 15;

int run_line(const std::string& line, std::string& directory) {
  const Command* command = find_command(line);
  if (!command) return 0;
  std::vector<std::string> words = split_words(line, command->split_words);
  // A word longer than its buffer would be cut without anyone noticing (a
  // file name written to the wrong file): refuse the line instead.
  for (std::size_t number : command->passed) {
    const std::size_t limit = command->word_limits[number - 1];
    if (words[number - 1].size() > limit) {
      platform::append_run_log_line(
          platform::strprintf("%s  => %d (0): word %zu longer than %zu characters", line.c_str(),
                              kStatusWordTooLong, number, limit)
              .c_str());
      return kStatusWordTooLong;
    }
  }
  return command->run(line, directory, words);
}

}  // namespace script

namespace {

std::int64_t utc_now_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

void download() {
  using namespace platform;
  script::RunEnd& end = script::run_end_record();
  end = script::RunEnd{};  // a script that cannot be opened is no run
  int status = 0;
  int line_number = 1;
  // Binary mode: the line reader drops a carriage return before a line feed
  // itself, so scripts written on either system read alike.
  DownloadFile = std::fopen(tmsfile.c_str(), "rb");
  // A folder opens on this system but is no script.
  if (DownloadFile) {
    const auto opened = platform::file_status(DownloadFile);
    if (!opened || opened->kind != platform::PathKind::kPlainFile) {
      std::fclose(DownloadFile);
      DownloadFile = nullptr;
    }
  }
  if (!DownloadFile) {
    ErrorPopup({"file.script_missing", {}});
    return;
  }
  std::string directory;  // the current handset directory: empty until a "cd" line
  fs::imei_guard_reset();
  script::g_current_line = 0;
  while (status == 0) {
    // A stop waits for the end of a command, and never leaves a formatted
    // handset without the IMEI that this run backed up.
    if (script::stop_requested() && !fs::imei_at_risk()) {
      end.stopped = true;
      break;
    }
    std::optional<std::string> line = script::read_script_line(DownloadFile);
    if (!line) break;
    SetCtrlVal(runPanel, kLineCounterControl, strprintf("%d", line_number));
    ++line_number;
    if (line_number > script::kVisibleLogLines) {
      SetCtrlAttribute(runPanel, kRunLogControl, kAttrFirstVisibleLine,
                       line_number - script::kVisibleLogLines);
    }
    script::cut_line_end(*line);
    end.line_number = line_number - 1;
    script::g_current_line = end.line_number;
    end.line = *line;
    const bool command = script::find_command(*line) != nullptr;
    const std::int64_t line_started_ms = utc_now_ms();
    status = script::run_line(*line, directory);
    end.status = status;
    if (command)
      end.lines.push_back({end.line_number, *line, status, line_started_ms, utc_now_ms()});
  }
  std::fclose(DownloadFile);
  DownloadFile = nullptr;
  platform::release_file_claims();
  // A stopped run did not do every command: it must not look green.
  const bool green = status == 0 && !end.stopped;
  end.outcome = green ? script::RunOutcome::kGreen : script::RunOutcome::kRed;
  SetCtrlAttribute(runPanel, kRunLogControl, kAttrBackColor, green ? kColorGreen : kColorRed);
}
