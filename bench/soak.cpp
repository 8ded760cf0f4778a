// Soak: runs the example station's main script through the real
// `ffsload run` against a real `ffsload-sim` on a pseudo-terminal, many times,
// with rare random faults, and checks every run's bytes.
//
//   soak [--runs N] [--jobs J] [--rate R] [--seed S] [--ffsload PATH] [--sim PATH]
//        [--examples DIR] [--keep] [--verbose] [--tool-arg ARG]...
//
// Each job is one station, as one port of a line is: one start folder used by
// every run (so a red run's PC files are what the next run finds, and the IMEI
// backup is overwritten by each handset in turn, as on the line), and a fresh
// handset per run (a simulator loaded with examples/handset, dumped when it
// stops). After each run:
//   green: the handset holds exactly the script's files, each equal to its PC
//          file, and its IMEI; the IMEI backup equals it; no other PC file changed;
//   red:   no PC file changed except the IMEI backup, which is the handset's
//          IMEI or empty (a failed read-back leaves it empty); the IMEI is on the
//          handset or in the backup;
//   both:  no ".part" file is left, the exit status is 0 or 1, the run ends.
// The tool's peak memory comes from wait4's rusage and /proc/PID/status
// (VmHWM); its open descriptors are sampled from /proc/PID/fd while it runs.
//
// --tool-arg passes more arguments to `ffsload run` (for instance the repeat
// mode of the line engineer's tools, once it exists: each process then does
// several runs, and the figures are per process).
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/folders.h"
#include "platform/text_format.h"
#include "support/measure.h"

namespace stdfs = std::filesystem;

namespace {

using testing_support::print_figure;

using testing_support::read_file;

struct Options {
  int runs = 1000;
  int jobs = 1;
  double rate = 0.002;
  unsigned long long seed = 1;
  std::string ffsload, sim, examples;
  bool keep = false;
  bool verbose = false;
  std::vector<std::string> tool_args;
};


// Files the station keeps for itself, not PC files a script reads or writes:
// the run records, their outbox and the run journal (with SQLite's -wal and
// -shm beside them, and the journal's lock).
bool station_own_file(const std::string& name) {
  return name.starts_with("runs.sqlite") || name.starts_with("runs-outbox.sqlite") ||
         name.starts_with("run-journal_");
}

// Every regular file below root, by its path relative to root.
std::map<std::string, std::string> files_below(const stdfs::path& root) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  if (!stdfs::exists(root, ec)) return out;
  for (const auto& e : stdfs::recursive_directory_iterator(root, ec)) {
    if (!e.is_regular_file()) continue;
    const std::string name = stdfs::relative(e.path(), root).string();
    if (!station_own_file(name)) out[name] = read_file(e.path());
  }
  return out;
}

// The handset file each "fwr" line of main.tms leaves, from its PC file.
const std::vector<std::pair<std::string, std::string>> kWrittenFiles = {
    {"gsm/rf/afcdac", "rf/afcdac"},
    {"gsm/rf/tx/ramps", "rf/tx/ramps"},
    {"gsm/rf/tx/levels.gsm", "rf/tx/levels.gsm"},
    {"gsm/rf/tx/levels.dcs", "rf/tx/levels.dcs"},
    {"gsm/rf/tx/calchan.all", "rf/tx/calchan.all"},
    {"gsm/rf/rx/calchan.all", "rf/rx/calchan.all"},
    {"gsm/rf/rx/agcparams.gsm", "rf/rx/agcparams.gsm"},
    {"gsm/rf/rx/agcparams.dcs", "rf/rx/agcparams.dcs"},
    {"gsm/lineinfo", "data/lineinfo.bin"}};

std::vector<char*> argv_of(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

pid_t spawn(const std::string& program, const std::vector<std::string>& args,
            const std::string& cwd, const std::string& out, const std::string& err,
            int stdout_pipe = -1) {
  pid_t pid = fork();
  if (pid == 0) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    if (stdout_pipe >= 0) {
      dup2(stdout_pipe, STDOUT_FILENO);
    } else if (std::FILE* f = std::fopen(out.c_str(), "wb")) {
      dup2(fileno(f), STDOUT_FILENO);
    }
    if (std::FILE* f = std::fopen(err.c_str(), "wb")) dup2(fileno(f), STDERR_FILENO);
    auto argv = argv_of(program, args);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

long status_kib(pid_t pid, const char* field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  }
  return -1;
}

int open_descriptors(pid_t pid) {
  std::error_code ec;
  int n = 0;
  for (auto it = stdfs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
       !ec && it != stdfs::directory_iterator(); it.increment(ec)) {
    ++n;
  }
  return ec && n == 0 ? -1 : n;
}

struct RunResult {
  int number = 0;
  int exit_code = -1;  // -1: killed or crashed
  bool hung = false;
  double seconds = 0;
  long peak_rss_kib = 0;  // wait4
  long vm_hwm_kib = 0;    // last /proc sample
  int max_fds = 0;
  int faults = 0;
  std::string red_at;
  std::vector<std::string> problems;  // data mismatches and the like
};

struct Totals {
  std::mutex mutex;
  int runs = 0, green = 0, red = 0, other = 0, hung = 0, mismatched_runs = 0, faults = 0;
  std::map<std::string, int> red_at;
  RunResult longest;
  RunResult first, last;
  long rss_min = -1, rss_max = 0;
  int fds_min = -1, fds_max = 0;
};

class Station {
 public:
  Station(const Options& o, const stdfs::path& folder) : o_(o), folder_(folder) {
    stdfs::create_directories(folder_);
    stdfs::copy(stdfs::path(o.examples) / "station", folder_ / "station",
                stdfs::copy_options::recursive);
    pristine_ = files_below(folder_ / "station");
    handset_ = files_below(stdfs::path(o.examples) / "handset");
  }

  RunResult run(int number) {
    RunResult r;
    r.number = number;
    const stdfs::path dump = folder_ / "flash";
    stdfs::remove_all(dump);
    const std::string sim_err = (folder_ / "sim.err").string();
    const std::string tool_out = (folder_ / "run.out").string();
    const std::string tool_err = (folder_ / "run.err").string();

    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) {
      r.problems.push_back("no pipe");
      return r;
    }
    const std::string faults =
        std::to_string(o_.rate) + ":" + std::to_string(o_.seed * 1'000'003ULL + number);
    pid_t sim = spawn(o_.sim,
                      {"--load", (stdfs::path(o_.examples) / "handset").string(), "--dump",
                       dump.string(), "--random-faults", faults},
                      "", "", sim_err, pipe_fds[1]);
    close(pipe_fds[1]);
    std::string device;
    char c;
    while (read(pipe_fds[0], &c, 1) == 1 && c != '\n') device += c;
    close(pipe_fds[0]);
    if (device.empty()) {
      r.problems.push_back("simulator did not start: " + read_file(sim_err));
      waitpid(sim, nullptr, 0);
      return r;
    }

    std::vector<std::string> args{"run", "--port", "3", "--device", device, "--script", "main.tms"};
    args.insert(args.end(), o_.tool_args.begin(), o_.tool_args.end());
    const auto start = std::chrono::steady_clock::now();
    pid_t tool = spawn(o_.ffsload, args, (folder_ / "station").string(), tool_out, tool_err);
    int status = 0;
    rusage usage{};
    for (;;) {
      // Sample before reaping: the descriptors are those the tool holds while it works.
      const int fds = open_descriptors(tool);
      const long hwm = status_kib(tool, "VmHWM:");
      pid_t done = wait4(tool, &status, WNOHANG, &usage);
      if (done == tool) break;
      r.max_fds = std::max(r.max_fds, fds);
      if (hwm > 0) r.vm_hwm_kib = hwm;
      if (std::chrono::steady_clock::now() - start > std::chrono::seconds(600)) {
        r.hung = true;
        kill(tool, SIGKILL);
      }
      usleep(20'000);
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peak_rss_kib = usage.ru_maxrss;
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;

    kill(sim, SIGTERM);
    int sim_status = 0;
    waitpid(sim, &sim_status, 0);
    const std::string sim_report = read_file(sim_err);
    if (auto at = sim_report.find("faults committed"); at != std::string::npos) {
      const auto comma = sim_report.rfind(", ", at);
      if (comma != std::string::npos) r.faults = std::atoi(sim_report.c_str() + comma + 2);
    }
    if (!WIFEXITED(sim_status) || WEXITSTATUS(sim_status) != 0) {
      r.problems.push_back("simulator failed: " + sim_report);
    }
    check(r, dump, tool_out, tool_err);
    return r;
  }

 private:
  void check(RunResult& r, const stdfs::path& dump, const std::string& out,
             const std::string& err) {
    const std::string imei = handset_.at("IMEI");
    auto station = files_below(folder_ / "station");
    const auto flash = files_below(dump);
    for (const auto& [name, bytes] : station) {
      if (name.ends_with(".part")) r.problems.push_back("left behind: " + name);
    }
    // Every PC file the script reads is as it was; the IMEI backup alone may change.
    for (const auto& [name, bytes] : pristine_) {
      if (station.count(name) == 0) {
        r.problems.push_back("PC file gone: " + name);
      } else if (station[name] != bytes) {
        r.problems.push_back("PC file changed: " + name);
      }
    }
    for (const auto& [name, bytes] : station) {
      if (pristine_.count(name) == 0 && name != "IMEI")
        r.problems.push_back("new PC file: " + name);
    }
    const bool backup = station.count("IMEI") != 0;
    if (backup && !station["IMEI"].empty() && station["IMEI"] != imei) {
      r.problems.push_back("IMEI backup holds other bytes");
    }
    const bool on_handset = flash.count("IMEI") != 0 && flash.at("IMEI") == imei;
    if (!on_handset && !(backup && station["IMEI"] == imei)) {
      r.problems.push_back("IMEI neither on the handset nor in its backup");
    }

    if (r.exit_code == 0) {
      std::map<std::string, std::string> expected{{"IMEI", imei}};
      for (const auto& [on_handset_name, pc] : kWrittenFiles) {
        expected[on_handset_name] = pristine_.at(pc);
      }
      if (flash != expected) {
        for (const auto& [name, bytes] : expected) {
          if (flash.count(name) == 0) {
            r.problems.push_back("handset lacks " + name);
          } else if (flash.at(name) != bytes) {
            r.problems.push_back("handset file differs: " + name);
          }
        }
        for (const auto& [name, bytes] : flash) {
          if (expected.count(name) == 0) r.problems.push_back("handset has extra " + name);
        }
      }
      if (!backup || station["IMEI"] != imei) r.problems.push_back("green without the IMEI backup");
    } else if (r.exit_code == 1) {
      // The failed command's line is the last run-log line, except for
      // "resetnvm", which writes none.
      std::istringstream lines(read_file(out));
      std::string line, last;
      while (std::getline(lines, line)) {
        if (!line.empty()) last = line;
      }
      r.red_at = last.rfind("rm scratch", 0) == 0 && last.find("=> 0 (") != std::string::npos
                     ? "resetnvm"
                     : last.substr(0, last.find(' '));
      if (r.red_at.empty()) r.red_at = "(no line)";
    } else {
      r.problems.push_back("exit status " + std::to_string(r.exit_code) + ": " + read_file(err));
    }
  }

  const Options& o_;
  stdfs::path folder_;
  std::map<std::string, std::string> pristine_;
  std::map<std::string, std::string> handset_;
};

std::string beside_self(const std::string& relative) {
  return (stdfs::path(platform::program_folder()) / relative).lexically_normal().string();
}

void usage() {
  std::fprintf(
      stderr,
      "usage: soak [--runs N] [--jobs J] [--rate R] [--seed S] [--ffsload PATH]\n"
      "            [--sim PATH] [--examples DIR] [--keep] [--verbose] [--tool-arg ARG]...\n"
      "  defaults: 1000 runs, 1 job, rate 0.002 faults per request, seed 1,\n"
      "  the programs and examples of this build tree\n");
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  o.ffsload = beside_self("../src/ffsload");
  o.sim = beside_self("../src/ffsload-sim");
  o.examples = FFSLOAD_EXAMPLES_DIR;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "--runs" && has_value) {
      o.runs = std::max(1, std::atoi(args[++i].c_str()));
    } else if (a == "--jobs" && has_value) {
      o.jobs = std::clamp(std::atoi(args[++i].c_str()), 1, 16);
    } else if (a == "--rate" && has_value) {
      o.rate = std::atof(args[++i].c_str());
    } else if (a == "--seed" && has_value) {
      o.seed = std::strtoull(args[++i].c_str(), nullptr, 0);
    } else if (a == "--ffsload" && has_value) {
      o.ffsload = args[++i];
    } else if (a == "--sim" && has_value) {
      o.sim = args[++i];
    } else if (a == "--examples" && has_value) {
      o.examples = args[++i];
    } else if (a == "--tool-arg" && has_value) {
      o.tool_args.push_back(args[++i]);
    } else if (a == "--keep") {
      o.keep = true;
    } else if (a == "--verbose") {
      o.verbose = true;
    } else {
      usage();
      return 2;
    }
  }
  char name[] = "/tmp/ffsload-soak-XXXXXX";
  if (!mkdtemp(name)) return 1;
  const stdfs::path work = name;
  std::signal(SIGPIPE, SIG_IGN);

  Totals t;
  std::atomic<int> next{1};
  const auto started = std::chrono::steady_clock::now();
  auto worker = [&](int job) {
    Station station(o, work / ("job" + std::to_string(job)));
    for (int n = next++; n <= o.runs; n = next++) {
      RunResult r = station.run(n);
      std::lock_guard<std::mutex> lock(t.mutex);
      ++t.runs;
      t.faults += r.faults;
      if (r.hung) ++t.hung;
      if (r.exit_code == 0) {
        ++t.green;
      } else if (r.exit_code == 1) {
        ++t.red;
        ++t.red_at[r.red_at];
      } else {
        ++t.other;
      }
      if (!r.problems.empty()) ++t.mismatched_runs;
      if (r.seconds > t.longest.seconds) t.longest = r;
      if (t.runs == 1) t.first = r;
      t.last = r;
      t.rss_min = t.rss_min < 0 ? r.peak_rss_kib : std::min(t.rss_min, r.peak_rss_kib);
      t.rss_max = std::max(t.rss_max, r.peak_rss_kib);
      t.fds_min = t.fds_min < 0 ? r.max_fds : std::min(t.fds_min, r.max_fds);
      t.fds_max = std::max(t.fds_max, r.max_fds);
      if (o.verbose || !r.problems.empty()) {
        std::printf("run %d: exit %d%s%s, %.2f s, %d faults, %ld KiB, %d fds\n", r.number,
                    r.exit_code, r.red_at.empty() ? "" : " at ", r.red_at.c_str(), r.seconds,
                    r.faults, r.peak_rss_kib, r.max_fds);
        for (const auto& p : r.problems) std::printf("  %s\n", p.c_str());
      }
      if (t.runs % 50 == 0) {
        std::fprintf(stderr, "soak: %d runs (%d green, %d red, %d other), %d with mismatches\n",
                     t.runs, t.green, t.red, t.other, t.mismatched_runs);
      }
    }
  };
  std::vector<std::thread> threads;
  for (int j = 0; j < o.jobs; ++j) threads.emplace_back(worker, j);
  for (auto& th : threads) th.join();
  const double total =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  std::printf("soak: %d runs in %.0f s with %d jobs, fault rate %g per request, seed %llu\n",
              t.runs, total, o.jobs, o.rate, o.seed);
  std::printf("outcomes: %d green, %d red, %d other (crash, hang or bad exit status), %d hung\n",
              t.green, t.red, t.other, t.hung);
  std::printf("faults committed by the simulator: %d\n", t.faults);
  std::printf("red at:");
  for (const auto& [keyword, n] : t.red_at) std::printf(" %s %d;", keyword.c_str(), n);
  std::printf("\n");
  std::printf("runs with data mismatches or lost bytes: %d\n", t.mismatched_runs);
  print_figure(platform::strprintf("soak: runs with data mismatches or lost bytes (fault rate %g)",
                                   o.rate),
               platform::strprintf("%d of %d (%d hung)", t.mismatched_runs, t.runs, t.hung), "0");
  print_figure("soak: the tool's peak memory per run, first and last",
               platform::strprintf("%ld KiB, %ld KiB", t.first.peak_rss_kib, t.last.peak_rss_kib),
               "no growth");
  std::printf("longest run: %.2f s (run %d, exit %d%s%s, %d faults)\n", t.longest.seconds,
              t.longest.number, t.longest.exit_code, t.longest.red_at.empty() ? "" : " at ",
              t.longest.red_at.c_str(), t.longest.faults);
  std::printf("tool peak RSS (wait4): first run %ld KiB, last run %ld KiB, min %ld, max %ld KiB\n",
              t.first.peak_rss_kib, t.last.peak_rss_kib, t.rss_min, t.rss_max);
  std::printf("tool VmHWM (/proc): first run %ld KiB, last run %ld KiB\n", t.first.vm_hwm_kib,
              t.last.vm_hwm_kib);
  std::printf("tool open descriptors (most seen): first run %d, last run %d, min %d, max %d\n",
              t.first.max_fds, t.last.max_fds, t.fds_min, t.fds_max);
  if (!o.keep)
    stdfs::remove_all(work);
  else
    std::printf("kept %s\n", work.c_str());
  return t.mismatched_runs == 0 && t.other == 0 ? 0 : 1;
}
