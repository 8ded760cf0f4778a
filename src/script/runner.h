// The script runner: runs the script file named by tmsfile against the handset,
// line by line, and stops at the first command that fails.
#pragma once

#include <cstdio>
#include <string>

// Name of the script file of the chosen customer; set by the front end.
extern std::string tmsfile;
// The script file while a run reads it.
extern std::FILE* DownloadFile;

// Runs the script; colours the run log green (all succeeded) or red (a command
// failed). A script that cannot be opened shows a message box and changes nothing.
void download();

namespace script {

// Runs one line (after its line end was cut): finds the keyword, checks and
// splits the words, calls the command. Lines without a keyword return 0.
// directory is the current handset directory of the run.
int run_line(const std::string& line, std::string& directory);

}  // namespace script
