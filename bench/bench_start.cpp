// What starting the programs costs, as a user at a terminal and every port
// child of "run --ports" and the grid pays it: wall time, CPU time and peak
// memory (wait4's ru_maxrss) of
//   - "ffsload --version" and "ffsload run --help" (the command line alone),
//   - "ffsload-gui --version" (the window program, which loads Qt),
//   - a whole run of the example station's customer 1 against ffsload-sim.
// Medians of RUNS (default 20; the whole run 5).
//   bench_start [RUNS]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/text_format.h"
#include "support/measure.h"

namespace {

using testing_support::median;
using testing_support::print_figure;
namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Cost {
  double wall_ms = 0;
  double cpu_ms = 0;
  double peak_mb = 0;
  int status = -1;
};

Cost run_once(const std::vector<std::string>& args, const std::string& cwd = "") {
  const auto start = Clock::now();
  const pid_t pid = testing_support::spawn_quietly(args, cwd);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  Cost c;
  c.wall_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  c.cpu_ms = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
             static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  c.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  c.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return c;
}

Cost median_of(int runs, const std::vector<std::string>& args, const std::string& cwd = "") {
  std::vector<double> wall, cpu, peak;
  int failed = 0;
  for (int i = 0; i < runs; ++i) {
    const Cost c = run_once(args, cwd);
    failed += c.status != 0;
    wall.push_back(c.wall_ms);
    cpu.push_back(c.cpu_ms);
    peak.push_back(c.peak_mb);
  }
  return {median(wall), median(cpu), median(peak), failed};
}

void report(const std::string& what, const Cost& c, const std::string& goal) {
  std::printf("%-44s wall %7.1f ms, CPU %7.1f ms, peak %5.1f MB%s\n", what.c_str(), c.wall_ms,
              c.cpu_ms, c.peak_mb, c.status ? "  (some runs failed)" : "");
  print_figure(what,
               platform::strprintf("%.1f ms, %.1f MB%s", c.wall_ms, c.peak_mb,
                                   c.status ? " (some runs failed)" : ""),
               goal);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 20;
  const std::string ffsload = FFSLOAD_BIN, gui = FFSLOAD_GUI_BIN, sim = FFSLOAD_SIM_BIN;
  const std::string examples = FFSLOAD_EXAMPLES;

  report("ffsload --version", median_of(runs, {ffsload, "--version"}), "< 5 ms, < 8 MB");
  report("ffsload run --help", median_of(runs, {ffsload, "run", "--help"}), "< 5 ms, < 8 MB");
  report("ffsload-gui --version (the window program)", median_of(runs, {gui, "--version"}), "");

  char name[] = "/tmp/ffsload-bench-start-XXXXXX";
  const std::string work = ::mkdtemp(name);
  stdfs::copy(examples + "/station", work + "/station", stdfs::copy_options::recursive);
  const std::string link = work + "/handset";
  const pid_t handset =
      testing_support::spawn_quietly({sim, "--link", link, "--load", examples + "/handset"}, "");
  for (int i = 0; i < 200 && !stdfs::exists(link); ++i) ::usleep(10000);
  report("a whole run of the example (customer 1)",
         median_of(std::max(1, runs / 4),
                   {ffsload, "run", "--port", "1", "--device", link, "--customer", "1"},
                   work + "/station"),
         "< 8 MB");
  ::kill(handset, SIGTERM);
  ::waitpid(handset, nullptr, 0);
  stdfs::remove_all(work);
  return 0;
}
