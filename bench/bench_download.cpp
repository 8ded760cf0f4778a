// Downloads a 3000-byte file (79 exchanges) into a real ffsload-sim over a
// pseudo-terminal and sets the time it takes next to the time the same bytes
// would take on a 115200-baud wire.
//   bench_download [PATH-TO-ffsload-sim] [DOWNLOADS]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fs/download.h"
#include "link/link.h"
#include "platform/folders.h"
#include "platform/headless_ui.h"
#include "platform/serial_port_config.h"
#include "platform/serial_operations.h"
#include "platform/text_format.h"
#include "support/measure.h"

namespace {

using testing_support::print_figure;

using testing_support::cpu_seconds;

constexpr int kPort = 3;
constexpr std::size_t kFileSize = 3000;
constexpr double kBitsPerByte = 10.0;  // start, 8 data, stop
constexpr double kBaud = 115200.0;

std::string default_sim_path() {
  return (std::filesystem::path(platform::program_folder()) / ".." / "src" / "ffsload-sim")
      .lexically_normal()
      .string();
}


}  // namespace

int main(int argc, char** argv) {
  const std::string sim_path = argc > 1 ? argv[1] : default_sim_path();
  const int downloads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;

  int out_pipe[2];
  if (pipe(out_pipe) != 0) return 1;
  pid_t sim = fork();
  if (sim == 0) {
    dup2(out_pipe[1], STDOUT_FILENO);
    close(out_pipe[0]);
    close(out_pipe[1]);
    execl(sim_path.c_str(), sim_path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out_pipe[1]);
  std::string device;
  char c;
  pollfd p{out_pipe[0], POLLIN, 0};
  while (poll(&p, 1, 10'000) > 0 && read(out_pipe[0], &c, 1) == 1 && c != '\n') device += c;
  if (device.empty()) {
    std::fprintf(stderr, "bench_download: cannot start %s\n", sim_path.c_str());
    return 1;
  }

  char folder[] = "/tmp/ffsload-bench-XXXXXX";
  if (!mkdtemp(folder) || chdir(folder) != 0) return 1;
  {
    // Table-like bytes, 0x02 and 0x10 among them, as calibration files hold.
    std::vector<char> bytes(kFileSize);
    std::uint32_t x = 12345;
    for (auto& b : bytes) {
      x = x * 1103515245u + 12345u;
      b = static_cast<char>((x >> 16) & 0xFF);
    }
    std::ofstream("ramps", std::ios::binary).write(bytes.data(), kFileSize);
  }

  platform::HeadlessUserInterface ui;
  platform::set_user_interface(&ui);
  platform::set_device_override(kPort, device);
  config_comport(kPort);

  long wire_bytes = 0;
  long frames = 0;
  wire::Link link(kPort);
  link.set_trace_sink([&](const wire::TraceEvent& e) {
    wire_bytes += static_cast<long>(e.bytes.size());
    if (e.outgoing) ++frames;
  });
  char imei_flag = 0;
  fs::ImeiGuard guard(imei_flag);

  auto one = [&] {
    std::string pc = "ramps";
    return fs::writefile(link, guard, "fwr ramps ramps", "", "ramps", pc);
  };
  if (one() != 0) {  // warm-up, and a check that the road works
    std::fprintf(stderr, "bench_download: the download failed\n");
    return 1;
  }
  wire_bytes = 0;
  frames = 0;

  const double cpu_start = cpu_seconds();
  const auto start = std::chrono::steady_clock::now();
  int failures = 0;
  for (int i = 0; i < downloads; ++i) failures += one() != 0;
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / downloads;
  const double cpu = (cpu_seconds() - cpu_start) / downloads;

  const double exchanges = static_cast<double>(frames) / downloads;
  const double bytes_per_download = static_cast<double>(wire_bytes) / downloads;
  const double line = bytes_per_download * kBitsPerByte / kBaud;

  std::printf("3000-byte download against ffsload-sim over a pty, %d downloads, %d failed\n",
              downloads, failures);
  std::printf("  exchanges per download:        %.0f\n", exchanges);
  std::printf("  bytes on the wire per download: %.0f (requests and replies)\n",
              bytes_per_download);
  std::printf("  time per exchange:             %.1f us\n", wall / exchanges * 1e6);
  std::printf("  time per download:             %.2f ms\n", wall * 1e3);
  std::printf("  line time at 115200 baud:      %.2f ms\n", line * 1e3);
  std::printf(
      "  overhead (whole pty time):     %.2f %% of line time (tool, simulator and pty together)\n",
      wall / line * 100.0);
  std::printf("  tool's own CPU per download:   %.3f ms = %.2f %% of line time\n", cpu * 1e3,
              cpu / line * 100.0);
  print_figure("3000-byte download over a pty, against its 115200-baud line time",
               platform::strprintf("%.2f ms = %.0f %% (%d failed)", wall * 1e3,
                                   wall / line * 100.0, failures),
               "< 100 %");
  print_figure("the tool's own CPU per download, against its line time",
               platform::strprintf("%.2f %%", cpu / line * 100.0), "< 10 %");

  platform::close_all_ports();
  platform::set_user_interface(nullptr);
  kill(sim, SIGTERM);
  waitpid(sim, nullptr, 0);
  std::filesystem::remove_all(folder);
  return failures == 0 ? 0 : 1;
}
