// "resetnvm": removes the NVM preset file and asks the handset for an NVM reset.
#pragma once

#include <string>

namespace fs {

int resetnvm(const std::string& line);

}  // namespace fs
