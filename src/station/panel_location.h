// Which panel file the operator panels load: the station's own
// "download.uir" in the start folder (a station restyled by its engineer)
// wins over the one beside the program (a build tree), which wins over the
// installed one in share/ffsload beside the program's bin folder.
#pragma once

#include <string>
#include <vector>

namespace station {

// The panel file's name wherever it lies.
constexpr const char* kPanelFileName = "download.uir";

// The places looked at, in order.
std::vector<std::string> panel_file_candidates();

// The first candidate that exists; "" when none does.
std::string find_panel_file();

}  // namespace station
