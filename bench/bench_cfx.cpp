// What the factory network's messages (IPC-CFX) cost a run, with the broker
// out of reach so that only the run's own path counts:
//   - each step's messages queued as a run queues them (the run's start:
//     state change and WorkStarted; its end: UnitsTested with the example's
//     29 lines, UnitsPersonalized, WorkCompleted and the state change), each
//     step one transaction flushed to disk: time per step and per message,
//     median and 95th percentile of STEPS (default 200);
//   - a whole run of the example's main.tms against ffsload-sim with CFX off
//     and on, alternating, ROUNDS each (default 10): the medians, their
//     difference, and the spread of the runs without CFX as the noise.
//   bench_cfx [STEPS [ROUNDS]]
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cfx/queue.h"
#include "platform/text_format.h"
#include "run/cfx_events.h"
#include "support/measure.h"

namespace {

using testing_support::median;
using testing_support::percentile;
using testing_support::print_figure;
namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The run's steps as run_script() takes them, on the example's script.
void steps(const std::string& folder, const std::string& script, int count) {
  run::RunContext context;
  context.port = 3;
  context.script = script;
  context.station_folder = folder;
  context.operator_id = "OP1";
  context.unit_serial = "SN-1";
  context.cfx.enabled = true;
  context.cfx.handle = "FFSLoad.ffsload.bench";
  script::RunEnd end;
  end.outcome = script::RunOutcome::kGreen;
  std::ifstream in(script);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    end.lines.push_back({n, line, 0, 1796749565123 + n * 50, 1796749565123 + n * 50 + 40});
  }
  const std::vector<std::uint8_t> imei = {0x53, 0x02, 0x99, 0x10, 0x47, 0x65, 0x43, 0xf1};
  std::vector<double> start_ms, end_ms, per_message_ms;
  wire::PanelRunLog log;
  for (int i = 0; i < count; ++i) {
    const std::string uid = "bench-" + std::to_string(i);
    auto t = Clock::now();
    run::CfxRun cfx(context, log);
    cfx.started(uid, 1796749565123 + i, "");
    const double started = ms_since(t);
    cfx.imei_written(imei);
    t = Clock::now();
    const std::string problem =
        cfx.ended(uid, 1796749567123 + i, script::RunOutcome::kGreen, end, std::nullopt);
    const double ended = ms_since(t);
    if (!problem.empty()) {
      std::fprintf(stderr, "bench_cfx: %s\n", problem.c_str());
      std::exit(1);
    }
    start_ms.push_back(started);
    end_ms.push_back(ended);
    // 2 messages at the start (state, WorkStarted), 4 at the end.
    per_message_ms.push_back((started + ended) / 6.0);
  }
  std::string error;
  auto queue = cfx::Queue::open_for_reading(folder, &error);
  const long long queued = queue ? static_cast<long long>(queue->status().waiting) : -1;
  std::printf("%d runs' steps, %lld messages queued\n", count, queued);
  std::printf("the start (state, WorkStarted): median %.2f ms, p95 %.2f ms\n", median(start_ms),
              percentile(start_ms, 0.95));
  std::printf(
      "the end (UnitsTested of %zu lines, UnitsPersonalized, WorkCompleted, state): "
      "median %.2f ms, p95 %.2f ms\n",
      end.lines.size(), median(end_ms), percentile(end_ms, 0.95));
  print_figure(
      "CFX: a run's start queued (2 messages, one flush)",
      platform::strprintf("%.2f ms (p95 %.2f)", median(start_ms), percentile(start_ms, 0.95)), "");
  print_figure("CFX: a run's end queued (4 messages, one flush)",
               platform::strprintf("%.2f ms (p95 %.2f)", median(end_ms), percentile(end_ms, 0.95)),
               "");
  print_figure("CFX: added on a run's path per message",
               platform::strprintf("%.2f ms (p95 %.2f)", median(per_message_ms),
                                   percentile(per_message_ms, 0.95)),
               "< 2 ms");
}

double run_ms(const std::string& ffsload, const std::string& device, const std::string& cwd) {
  const auto start = Clock::now();
  const pid_t pid =
      testing_support::spawn_quietly({ffsload, "run", "--port", "3", "--device", device, "--script",
                                      "main.tms", "--operator", "OP1", "--unit", "SN-1"},
                                     cwd);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "bench_cfx: a run of the example failed\n");
    std::exit(1);
  }
  return ms_since(start);
}

void whole_runs(const std::string& work, int rounds) {
  const std::string ffsload = FFSLOAD_BIN, sim = FFSLOAD_SIM_BIN, examples = FFSLOAD_EXAMPLES;
  const std::string off = work + "/off", on = work + "/on";
  for (const std::string& folder : {off, on}) {
    stdfs::copy(examples + "/station", folder, stdfs::copy_options::recursive);
    std::ofstream(folder + "/ffsload.conf")
        << "operator = optional\nunit-serial = optional\n"
        << (folder == on ? "cfx-broker = amqp://127.0.0.1:1/\n" : "");
  }
  const std::string link = work + "/handset";
  const pid_t handset =
      testing_support::spawn_quietly({sim, "--link", link, "--load", examples + "/handset"}, "");
  for (int i = 0; i < 200 && !stdfs::exists(link); ++i) ::usleep(10000);
  run_ms(ffsload, link, off);  // the files in the page cache for both
  std::vector<double> off_ms, on_ms;
  for (int i = 0; i < rounds; ++i) {
    off_ms.push_back(run_ms(ffsload, link, off));
    on_ms.push_back(run_ms(ffsload, link, on));
  }
  ::kill(handset, SIGTERM);
  ::waitpid(handset, nullptr, 0);
  const double noise = percentile(off_ms, 0.9) - percentile(off_ms, 0.1);
  std::printf(
      "a whole run of main.tms: CFX off median %.1f ms, on %.1f ms (%d each); the runs "
      "without CFX spread %.1f ms (10th to 90th percentile)\n",
      median(off_ms), median(on_ms), rounds, noise);
  print_figure("CFX: a whole run of the example, off / on",
               platform::strprintf("%.1f / %.1f ms (%+.1f ms; noise %.1f ms)", median(off_ms),
                                   median(on_ms), median(on_ms) - median(off_ms), noise),
               "within the noise");
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
  char name[] = "/tmp/ffsload-bench-cfx-XXXXXX";
  const std::string work = ::mkdtemp(name);
  stdfs::create_directories(work + "/steps");
  steps(work + "/steps", std::string(FFSLOAD_EXAMPLES) + "/station/main.tms", count);
  whole_runs(work, rounds);
  stdfs::remove_all(work);
  return 0;
}
