#include "station/panel_location.h"

#include <filesystem>

#include "platform/folders.h"

namespace station {

std::vector<std::string> panel_file_candidates() {
  const std::string program = platform::program_folder();
  return {kPanelFileName, program + "/" + kPanelFileName,
          program + "/../share/ffsload/" + kPanelFileName};
}

std::string find_panel_file() {
  for (const std::string& candidate : panel_file_candidates()) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  }
  return "";
}

}  // namespace station
