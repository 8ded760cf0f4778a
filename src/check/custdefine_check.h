// Checks the customer definition file "custdefine" as the tool reads it
// (19 characters a read, 40 reads) and the customers it names.
#pragma once

#include <string>
#include <vector>

#include "check/findings.h"

namespace check {

// Checks "custdefine" in the current folder; returns the script names of
// the entries that the tool can see, each once, in file order.
std::vector<std::string> check_custdefine(Report& report);

}  // namespace check
