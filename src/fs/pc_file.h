// What the file commands share about PC files: the open file, and the
// per-port suffix that keeps the files of stations on ports 1 and 2 apart.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace fs {

struct CloseFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
// The open PC file of a file command, opened and closed within one call:
// whatever way the command ends, the file is closed.
using PcFile = std::unique_ptr<std::FILE, CloseFile>;

// A PC file name that takes a suffix must leave room for it in 19 characters.
constexpr std::size_t kLongestSuffixedName = 17;

// "_1" on port 1, "_2" on port 2, nothing on the other ports.
std::string_view port_suffix(int port);

// The download and compare rule: the handset name and the PC name agree in
// the first k-1 characters, k being the PC name's length (always true for
// names of one character).
bool names_agree(std::string_view handset_name, std::string_view pc_name);

// Appends the suffix of `port` to pc_name. Returns false, leaving the name
// unchanged, when a suffix is due but the name is too long to take it.
bool append_port_suffix(std::string& pc_name, int port);

}  // namespace fs
