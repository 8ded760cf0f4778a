// Eight handsets at once, as the station grid and "ffsload run --ports" run
// them: eight ffsload-sim handsets loaded with the example handset, the
// example station's customer 1, and
//   - one port's run alone ("ffsload run --port 1") against the eight ports'
//     run ("ffsload run --ports 1-8"): wall time, and the share it is longer,
//   - the CPU time of the tool's processes over the eight ports' run
//     (getrusage RUSAGE_CHILDREN: the handsets are reaped only at the end),
//   - the same with port 8's handset silent: when each other port's last
//     run-log line came, against the run without a silent port.
// Each measurement is the median of ROUNDS (default 5).
//   bench_grid [ROUNDS] [FFSLOAD FFSLOAD_SIM EXAMPLES_DIR]
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/text_format.h"
#include "support/measure.h"

namespace {

using testing_support::print_figure;

using testing_support::cpu_seconds_of_children;
using testing_support::median;

namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;

pid_t spawn(const std::vector<std::string>& args, const std::string& cwd, int out_fd) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
    const int null_fd = ::open("/dev/null", O_RDWR);
    ::dup2(null_fd, STDIN_FILENO);
    ::dup2(out_fd >= 0 ? out_fd : null_fd, STDOUT_FILENO);
    ::dup2(null_fd, STDERR_FILENO);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}


struct Timing {
  double wall_s = 0;
  double cpu_s = 0;
  int status = -1;
  std::map<int, double> first_line_s;  // port -> when its first stdout line came
  std::map<int, double> last_line_s;   // port -> when its last stdout line came
};

// Runs the tool to its end, timestamping every "[N] LINE" of its stdout.
Timing timed_run(const std::vector<std::string>& args, const std::string& cwd) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) std::exit(1);
  const double cpu_before = cpu_seconds_of_children();
  const auto start = Clock::now();
  const pid_t pid = spawn(args, cwd, pipe_fds[1]);
  ::close(pipe_fds[1]);
  Timing t;
  std::string partial;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(pipe_fds[0], buf, sizeof buf);
    if (n <= 0) break;
    const double at = std::chrono::duration<double>(Clock::now() - start).count();
    partial.append(buf, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = partial.find('\n')) != std::string::npos) {
      const std::string line = partial.substr(0, end);
      partial.erase(0, end + 1);
      // A single port's lines come without "[N] ": port 0.
      const int port = line.size() > 2 && line[0] == '[' ? std::atoi(line.c_str() + 1) : 0;
      if (!t.first_line_s.count(port)) t.first_line_s[port] = at;
      t.last_line_s[port] = at;
    }
  }
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  t.wall_s = std::chrono::duration<double>(Clock::now() - start).count();
  t.cpu_s = cpu_seconds_of_children() - cpu_before;
  t.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return t;
}


struct Handsets {
  std::string sim, handset, work;
  std::map<int, pid_t> pids;
  void start(int port, const std::vector<std::string>& extra = {}) {
    const std::string link = work + "/port" + std::to_string(port);
    stdfs::remove(link);
    std::vector<std::string> args = {sim, "--link", link, "--load", handset};
    args.insert(args.end(), extra.begin(), extra.end());
    pids[port] = spawn(args, "", -1);
    for (int i = 0; i < 100 && !stdfs::exists(link); ++i) ::usleep(20'000);
  }
  void stop(int port) {
    ::kill(pids[port], SIGTERM);
    ::waitpid(pids[port], nullptr, 0);
    pids.erase(port);
  }
  ~Handsets() {
    for (auto& [port, pid] : pids) ::kill(pid, SIGTERM);
    for (auto& [port, pid] : pids) ::waitpid(pid, nullptr, 0);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  // The tool runs in the station folder: paths given relative to here must hold there.
  const std::string ffsload = stdfs::absolute(argc > 4 ? argv[2] : FFSLOAD_BIN);
  const std::string sim = stdfs::absolute(argc > 4 ? argv[3] : FFSLOAD_SIM_BIN);
  const std::string examples = stdfs::absolute(argc > 4 ? argv[4] : FFSLOAD_EXAMPLES);
  char name[] = "/tmp/ffsload-bench-grid-XXXXXX";
  const std::string work = ::mkdtemp(name);
  const std::string station = work + "/station";
  stdfs::copy(examples + "/station", station, stdfs::copy_options::recursive);
  {
    std::ofstream comports(station + "/comports");
    for (int port = 1; port <= 8; ++port)
      comports << port << " " << work << "/port" << port << "\n";
  }
  std::signal(SIGPIPE, SIG_IGN);
  {
    Handsets handsets{sim, examples + "/handset", work, {}};
    for (int port = 1; port <= 8; ++port) handsets.start(port);

    const std::vector<std::string> one = {ffsload, "run", "--port", "1", "--customer", "1"};
    const std::vector<std::string> eight = {ffsload, "run", "--ports", "1-8", "--customer", "1"};
    std::vector<double> one_wall, one_cpu, eight_wall, eight_cpu, silent_wall, silent_others,
        silent_cpu;
    std::vector<double> eight_others, one_first, one_last, eight_first;
    int bad = 0;
    for (int r = 0; r < rounds; ++r) {
      Timing a = timed_run(one, station);
      Timing b = timed_run(eight, station);
      bad += a.status != 0 || b.status != 0;
      one_wall.push_back(a.wall_s);
      one_first.push_back(a.first_line_s[0]);
      one_last.push_back(a.last_line_s[0]);
      double first = 0;
      for (int port = 1; port <= 8; ++port) first = std::max(first, b.first_line_s[port]);
      eight_first.push_back(first);
      one_cpu.push_back(a.cpu_s);
      eight_wall.push_back(b.wall_s);
      eight_cpu.push_back(b.cpu_s);
      double latest = 0;
      for (int port = 1; port <= 7; ++port) latest = std::max(latest, b.last_line_s[port]);
      eight_others.push_back(latest);
    }
    handsets.stop(8);
    handsets.start(8, {"--fault", "silent:*"});
    for (int r = 0; r < rounds; ++r) {
      Timing c = timed_run(eight, station);
      silent_wall.push_back(c.wall_s);
      silent_cpu.push_back(c.cpu_s);
      double latest = 0;
      for (int port = 1; port <= 7; ++port) latest = std::max(latest, c.last_line_s[port]);
      silent_others.push_back(latest);
    }
    const double w1 = median(one_wall), w8 = median(eight_wall);
    std::printf("bench_grid: customer 1 of the example station, %d rounds, medians\n", rounds);
    std::printf("  one port  (run --port 1):     wall %6.2f s, CPU %5.2f s\n", w1, median(one_cpu));
    std::printf(
        "  eight ports (run --ports 1-8): wall %6.2f s, CPU %5.2f s (%.0f%% of one core "
        "over the wall time), %+.1f%% wall against one port\n",
        w8, median(eight_cpu), 100 * median(eight_cpu) / w8, 100 * (w8 / w1 - 1));
    std::printf("  one port's first and last log line: %5.2f s, %5.2f s\n", median(one_first),
                median(one_last));
    std::printf(
        "  eight ports' latest first log line: %5.2f s; ports 1-7's last log line %5.2f s\n",
        median(eight_first), median(eight_others));
    std::printf(
        "  port 8 silent:                 wall %6.2f s, CPU %5.2f s; ports 1-7's last log "
        "line %6.2f s (%+.1f%% against no silent port)\n",
        median(silent_wall), median(silent_cpu), median(silent_others),
        100 * (median(silent_others) / median(eight_others) - 1));
    if (bad) std::printf("  (%d rounds did not end green)\n", bad);
    print_figure("eight ports against one (run --ports 1-8, wall)",
                 platform::strprintf("%.3fx (%.2f s against %.2f s%s)", w8 / w1, w8, w1,
                                     bad ? ", some rounds not green" : ""),
                 "<= 1.02x");
    print_figure("eight ports: the latest port's first log line",
                 platform::strprintf("%.0f ms (one port: %.0f ms)", 1000 * median(eight_first),
                                     1000 * median(one_first)),
                 "");
    print_figure("ports 1-7 with port 8 silent, against none silent",
                 platform::strprintf("%+.1f %%", 100 * (median(silent_others) /
                                                        median(eight_others) - 1)),
                 "unaffected (noise)");
  }
  std::error_code ec;
  stdfs::remove_all(work, ec);
  return 0;
}
