#include "script/command_table.h"

#include "commands/parameters.h"
#include "commands/test_mode.h"
#include "fs/calibration_check.h"
#include "fs/compare.h"
#include "fs/directory_commands.h"
#include "fs/download.h"
#include "fs/nvm_reset.h"
#include "fs/readback.h"
#include "script/runner.h"

namespace script {

namespace {

using Words = std::vector<std::string>;
using Dir = std::string;

// Word limits of the runner's buffers (word 1 first).
constexpr std::array<std::size_t, 8> kParameterLimits{11, 11, 23, 19, 19, 11, 11, 11};
constexpr std::array<std::size_t, 8> kDirectoryLimits{23, 39};
constexpr std::array<std::size_t, 8> kOneWordLimits{23, 19};
constexpr std::array<std::size_t, 8> kTwoWordLimits{23, 19, 19};
constexpr std::array<std::size_t, 8> kRegisterWriteLimits{23, 19, 19, 11};
constexpr std::array<std::size_t, 8> kNoLimits{};

const std::vector<Command> kTable = {
    {"tms",
     "entertestmode",
     {},
     0,
     kNoLimits,
     {},
     [](Runner& r, const std::string& l, Dir&, Words&) {
       return commands::entertestmode(r.link(), l);
     }},
    {"stw",
     "stw",
     {},
     8,
     kParameterLimits,
     {2, 3, 4, 5, 6, 7, 8},
     [](Runner& r, const std::string& l, Dir&, Words& w) {
       return commands::stw(r.link(), l, w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
     }},
    {"str",
     "str",
     {},
     8,
     kParameterLimits,
     {2, 3, 4, 5, 6, 7, 8},
     [](Runner& r, const std::string& l, Dir&, Words& w) {
       return commands::str(r.link(), l, w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
     }},
    {"ti",
     "ti",
     {},
     0,
     kNoLimits,
     {},
     [](Runner& r, const std::string& l, Dir&, Words&) { return commands::ti(r.link(), l); }},
    {"cd",
     "changedirectory",
     {"the handset directory"},
     2,
     kDirectoryLimits,
     {2},
     [](Runner& r, const std::string& l, Dir& d, Words& w) {
       d = w[1];  // kept even when the directory request then fails
       return fs::changedirectory(r.link(), l, d);
     }},
    {"rm",
     "rm",
     {"the handset file name"},
     2,
     kOneWordLimits,
     {2},
     [](Runner& r, const std::string& l, Dir& d, Words& w) {
       return fs::rm(r.link(), l, d, w[1]);
     }},
    {"se",
     "se",
     {"the value"},
     2,
     kOneWordLimits,
     {2},
     [](Runner& r, const std::string& l, Dir&, Words& w) {
       return commands::se(r.link(), l, w[1]);
     }},
    {"mkfs",
     "mkfs",
     {},
     0,
     kNoLimits,
     {},
     [](Runner& r, const std::string& l, Dir&, Words&) {
       return fs::mkfs(r.link(), r.guard(), l);
     }},
    {"mkdir",
     "makedirectory",
     {"the directory name"},
     2,
     kOneWordLimits,
     {2},
     [](Runner& r, const std::string& l, Dir&, Words& w) {
       return fs::makedirectory(r.link(), l, w[1]);
     }},
    {"fwr",
     "writefile",
     {"the handset file name", "the PC file name"},
     3,
     kTwoWordLimits,
     {2, 3},
     [](Runner& r, const std::string& l, Dir& d, Words& w) {
       return fs::writefile(r.link(), r.guard(), l, d, w[1], w[2]);
     }},
    {"compare",
     "comparefile",
     {"the handset file name", "the PC file name"},
     3,
     kTwoWordLimits,
     {2, 3},
     [](Runner& r, const std::string& l, Dir& d, Words& w) {
       return fs::comparefile(r.link(), r.guard(), l, d, w[1], w[2]);
     }},
    {"check",
     "checkcalibration",
     {},
     2,
     kOneWordLimits,
     {},
     [](Runner& r, const std::string& l, Dir&, Words&) {
       return fs::checkcalibration(r.link(), l);
     }},
    {"frd",
     "frd",
     {"the handset file name", "the PC file name"},
     3,
     kTwoWordLimits,
     {2, 3},
     [](Runner& r, const std::string& l, Dir& d, Words& w) {
       return fs::frd(r.link(), r.guard(), l, d, w[1], w[2]);
     }},
    {"cw",
     "cw",
     {"the row number", "the column number", "the hexadecimal value"},
     4,
     kRegisterWriteLimits,
     {2, 3, 4},
     [](Runner& r, const std::string& l, Dir&, Words& w) {
       return commands::cw(r.link(), l, w[1], w[2], w[3]);
     }},
    {"cr",
     "cr",
     {"the row number", "the column number"},
     3,
     kTwoWordLimits,
     {2, 3},
     [](Runner& r, const std::string& l, Dir&, Words& w) {
       return commands::cr(r.link(), l, w[1], w[2]);
     }},
    {"spw",
     "spw",
     {"the first number", "the second number"},
     3,
     kTwoWordLimits,
     {2, 3},
     [](Runner& r, const std::string& l, Dir&, Words& w) {
       return commands::spw(r.link(), l, w[1], w[2]);
     }},
    {"rfe",
     "rfe",
     {"the value"},
     2,
     kOneWordLimits,
     {2},
     [](Runner& r, const std::string& l, Dir&, Words& w) {
       return commands::rfe(r.link(), l, w[1]);
     }},
    {"sleep",
     "sleep",
     {"the milliseconds"},
     2,
     kOneWordLimits,
     {2},
     [](Runner& r, const std::string& l, Dir&, Words& w) {
       return commands::sleep(r.link(), l, w[1]);
     }},
    {"agcdcs",
     "agcdac",
     {},
     0,
     kNoLimits,
     {},
     [](Runner& r, const std::string& l, Dir&, Words&) { return commands::agcdac(r.link(), l); }},
    {"resetnvm",
     "resetnvm",
     {},
     0,
     kNoLimits,
     {},
     [](Runner& r, const std::string& l, Dir&, Words&) { return fs::resetnvm(r.link(), l); }},
};

}  // namespace

std::span<const Command> command_table() {
  return kTable;
}

const Command* find_command(std::string_view line) {
  for (const Command& c : kTable) {
    if (line.starts_with(c.keyword)) return &c;
  }
  return nullptr;
}

}  // namespace script
