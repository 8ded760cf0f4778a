// What the tests and the benchmarks both need to measure and to read back:
// CPU time, medians and percentiles, whole files.
#pragma once

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

// A whole file's bytes; "" when it cannot be read.
std::string read_file(const std::filesystem::path& path);

}  // namespace testing_support
