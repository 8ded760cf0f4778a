// What the tests and the benchmarks both need to measure and to read back:
// CPU time, medians and percentiles, whole files.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// CPU seconds (user and system) of this process, and of its reaped children.
double cpu_seconds();
double cpu_seconds_of_children();

// The middle value (the upper one of an even count); 0 for none.
double median(std::vector<double> values);
// The value below which the share p (0..1) of the values lie; 0 for none.
double percentile(std::vector<double> values, double p);

// One figure for scripts/bench.sh to gather into its table: a line
// "figure<TAB>NAME<TAB>VALUE<TAB>GOAL" on stdout, beside the benchmark's own
// words. GOAL is "" when the figure has none.
void print_figure(const std::string& name, const std::string& value, const std::string& goal);

// Starts the program args[0] (a path) with args, in folder `cwd` ("": this
// one), its standard streams on /dev/null; its pid, for waitpid.
pid_t spawn_quietly(const std::vector<std::string>& args, const std::string& cwd);

// A whole file's bytes; "" when it cannot be read.
std::string read_file(const std::filesystem::path& path);

}  // namespace testing_support
