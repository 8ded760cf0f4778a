// The current folder (the start folder), and where the program itself lies.
#pragma once

#include <string>

namespace platform {

// 0 on success, negative when the folder cannot be read or entered.
int GetDir(std::string* folder);
int SetDir(const std::string& folder);

// The running program's own file ("ffsload" when it cannot be found), for
// starting children of the same build.
std::string program_path();

// The folder of the running program (where its panel file lies); "." when
// it cannot be found.
std::string program_folder();

// Another program of the same installation: beside this one (a build tree),
// else in ../bin or ../libexec of this one's folder (installed). "" when
// none of them is there.
std::string sibling_program(const std::string& name);

}  // namespace platform
