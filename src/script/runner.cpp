#include "script/runner.h"

#include <sys/stat.h>

#include "platform/run_panel.h"
#include "platform/text_format.h"
#include "platform/user_interface.h"
#include "script/command_table.h"
#include "script/script_line.h"

std::string tmsfile;
std::FILE* DownloadFile = nullptr;

namespace script {

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

void download() {
  using namespace platform;
  int status = 0;
  int line_number = 1;
  // Binary mode: the line reader drops a carriage return before a line feed
  // itself, so scripts written on either system read alike.
  DownloadFile = std::fopen(tmsfile.c_str(), "rb");
  struct stat st {};
  // A folder opens on this system but is no script.
  if (DownloadFile && (fstat(fileno(DownloadFile), &st) != 0 || !S_ISREG(st.st_mode))) {
    std::fclose(DownloadFile);
    DownloadFile = nullptr;
  }
  if (!DownloadFile) {
    MessagePopup("Error", "Fail to open file <*.tms>");
    return;
  }
  std::string directory;  // the current handset directory: empty until a "cd" line
  while (status == 0) {
    std::optional<std::string> line = script::read_script_line(DownloadFile);
    if (!line) break;
    SetCtrlVal(runPanel, kLineCounterControl, strprintf("%d", line_number));
    ++line_number;
    if (line_number > script::kVisibleLogLines) {
      SetCtrlAttribute(runPanel, kRunLogControl, kAttrFirstVisibleLine,
                       line_number - script::kVisibleLogLines);
    }
    script::cut_line_end(*line);
    status = script::run_line(*line, directory);
  }
  std::fclose(DownloadFile);
  DownloadFile = nullptr;
  SetCtrlAttribute(runPanel, kRunLogControl, kAttrBackColor, status == 0 ? kColorGreen : kColorRed);
}
