// How long a station takes to refuse a scan that its serial pattern does not
// take, with a pattern whose nested repeats make a backtracking matcher try
// every way of splitting the serial: ([A-Z0-9]+-?)+ against 127 letters and
// one character it cannot take, the longest serial a run accepts. Timed as
// the panels ask it (station::unit_serial_problem), in microseconds.
//
//   bench_serial_pattern [ROUNDS]   (default 10000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text_format.h"
#include "station/station_settings.h"
#include "support/measure.h"

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 10000;
  if (rounds < 1) {
    std::fprintf(stderr, "usage: bench_serial_pattern [ROUNDS]\n");
    return 2;
  }
  station::StationSettings settings;
  settings.unit_serial_pattern = station::SerialPattern::compile("([A-Z0-9]+-?)+");
  if (!settings.unit_serial_pattern) return 1;
  const std::string scan = std::string(station::kLongestIdentity - 1, 'A') + "!";

  using Clock = std::chrono::steady_clock;
  std::vector<double> us;
  us.reserve(static_cast<std::size_t>(rounds));
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    const std::string why = station::unit_serial_problem(settings, scan);
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    if (why.empty()) {
      std::fprintf(stderr, "bench_serial_pattern: the scan matched\n");
      return 1;
    }
  }
  const double median = testing_support::median(us);
  const double p99 = testing_support::percentile(us, 0.99);
  std::printf("%d refusals of a %zu-character scan: median %.1f us, p99 %.1f us, slowest %.1f us\n",
              rounds, scan.size(), median, p99, testing_support::percentile(us, 1.0));
  // The slowest of thousands is the scheduler's on a shared machine, not the
  // matcher's: the figure is the median and the 99th percentile.
  testing_support::print_figure(
      "a 128-character scan the serial pattern ([A-Z0-9]+-?)+ does not take, refused in",
      platform::strprintf("median %.1f us, p99 %.1f us", median, p99), "< 1000 us");
  return 0;
}
