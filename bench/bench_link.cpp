// Measures the link on real pseudo-terminals:
//  (a) CPU time over wall time while the reply reader waits out a timeout on
//      a silent line (a reader that polls in a tight loop uses a whole core);
//  (b) the round trip per exchange against ffsload-sim, next to the time the
//      same frames take on a 115200-baud wire (10 bits a byte).
// Usage: bench_link [PATH-TO-ffsload-sim]
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>

#include "link/link.h"
#include "platform/serial_port_config.h"
#include "platform/serial_operations.h"
#include "platform/text_format.h"
#include "support/measure.h"

namespace {

using testing_support::print_figure;

using testing_support::cpu_seconds;

using Clock = std::chrono::steady_clock;


double seconds_since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

void measure_idle_wait(double timeout) {
  int master = -1, slave = -1;
  char name[128];
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    std::perror("openpty");
    return;
  }
  platform::set_device_override(1, name);
  wire::Link link(1);
  config_comport(link.comport());
  const double cpu0 = cpu_seconds();
  const auto t0 = Clock::now();
  link.send_packet(0x20, {}, {});
  const std::uint8_t status = link.handle_response({}, {}, 0x20, timeout);
  const double wall = seconds_since(t0);
  const double cpu = cpu_seconds() - cpu0;
  std::printf(
      "(a) silent line, timeout %.1f s: status %d, wall %.3f s, cpu %.4f s = %.3f%% of a core\n",
      timeout, status, wall, cpu, 100.0 * cpu / wall);
  print_figure(platform::strprintf("CPU while a reply is awaited (silent line, %.1f s)", timeout),
               platform::strprintf("%.3f %% of a core", 100.0 * cpu / wall), "< 1 %");
  platform::close_all_ports();
  close(slave);
  close(master);
}

pid_t start_sim(const std::string& program, std::string* device) {
  int out[2];
  if (pipe(out) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') *device += c;
  close(out[0]);
  return pid;
}

void measure_round_trip(const std::string& program, int count) {
  std::string device;
  pid_t pid = start_sim(program, &device);
  if (pid <= 0 || device.empty()) {
    std::fprintf(stderr, "cannot start %s\n", program.c_str());
    return;
  }
  platform::set_device_override(2, device);
  wire::Link link(2);
  config_comport(link.comport());

  struct Case {
    const char* what;
    std::uint8_t id;
    std::array<std::uint8_t, 2> head;
    std::size_t head_size;
    std::size_t reply_head;
    std::size_t wire_bytes;  // request frame + reply frame
  };
  const Case cases[] = {
      {"ti (0x20)", 0x20, {0, 0}, 0, 0, 5 + 6},
      {"se 3 (0x54)", 0x54, {3, 0}, 2, 1, 7 + 7},
  };
  for (const Case& c : cases) {
    std::array<std::uint8_t, 1> reply_head{};
    int failures = 0;
    const auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
      failures += link.exchange(c.id, std::span(c.head).first(c.head_size), {}, {},
                                std::span(reply_head).first(c.reply_head), 5.0) != 0;
    }
    const double per = seconds_since(t0) / count * 1e6;
    const double wire = static_cast<double>(c.wire_bytes) * 10.0 / 115200.0 * 1e6;
    std::printf(
        "(b) %-12s %d exchanges, %d failed: %.1f us per exchange over the pty; "
        "the same %zu bytes take %.1f us on a 115200-baud wire (%.1f%%)\n",
        c.what, count, failures, per, c.wire_bytes, wire, 100.0 * per / wire);
    print_figure(platform::strprintf("exchange %s over a pty, against its 115200-baud line time",
                                     c.what),
                 platform::strprintf("%.1f us = %.0f %% (%d failed)", per, 100.0 * per / wire,
                                     failures),
                 "< 100 %");
  }
  platform::close_all_ports();
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  std::string sim = argc > 1 ? argv[1] : std::string(argv[0]);
  if (argc <= 1) {
    auto slash = sim.rfind('/');
    sim = (slash == std::string::npos ? std::string(".") : sim.substr(0, slash)) +
          "/../src/ffsload-sim";
  }
  measure_idle_wait(0.5);
  measure_idle_wait(3.0);
  measure_round_trip(sim, 2000);
  return 0;
}
