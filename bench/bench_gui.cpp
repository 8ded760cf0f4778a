// The operator GUI in one process on Qt's offscreen platform, against the
// in-process simulated handset on the fake clock:
//   - the time from the program's start to the selection panel shown,
//   - memory and open descriptors after the first and after the last of
//     RUNS presses of Run (default 1000), and the peak memory.
//   bench_gui [RUNS] [PANEL-FILE]
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "link/link.h"
#include "platform/clock.h"
#include "platform/serial_memory_backend.h"
#include "platform/qt_panels.h"
#include "platform/serial_operations.h"
#include "platform/run_panel.h"
#include "sim/handset.h"
#include "sim/in_process.h"
#include "sim/simulated_line.h"
#include "ui/operator_callbacks.h"
#include "ui/panels.h"
#include "platform/text_format.h"
#include "support/measure.h"

namespace {

using testing_support::print_figure;

using Clock = std::chrono::steady_clock;
const auto g_start = Clock::now();

constexpr int kRunButton = 4;  // the panel file's number for Run
constexpr int kExitButton = 7;

double ms_since_start() {
  return std::chrono::duration<double, std::milli>(Clock::now() - g_start).count();
}

long status_kb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
  }
  return -1;
}

long open_descriptors() {
  long n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++n;
  }
  return n;
}

void press(platform::QtPanels& panels, int control) {
  if (auto* b =
          qobject_cast<QAbstractButton*>(panels.control_widget(platform::run_panel(), control))) {
    b->click();
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const int runs = argc > 1 ? std::atoi(argv[1]) : 1000;
  const std::string panel_file = argc > 2 && *argv[2] ? argv[2] : FFSLOAD_PANEL_FILE;
  // A third argument spoils that share of the requests at random (seed 1).
  const double fault_rate = argc > 3 ? std::atof(argv[3]) : 0.0;

  // A station of its own: the example's test-mode script with a sleep.
  const auto folder = std::filesystem::temp_directory_path() / "ffsload-bench-gui";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::filesystem::current_path(folder);
  std::ofstream("custdefine") << "1 bench.tms\n";
  std::ofstream("bench.tms") << "tms 1\nti\nse 3\nsleep 100\n";

  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  platform::FakeTime fake;
  platform::set_time_source(&fake);
  sim::Handset handset;
  // A line per opening of the port: a hang-up leaves that line dead, and the
  // next run opens the port again, as after a re-plugged adapter.
  std::vector<std::unique_ptr<sim::SimulatedLine>> lines;
  int committed = 0;
  const auto new_line = [&]() -> sim::SimulatedLine& {
    if (!lines.empty()) committed += lines.back()->faults().committed_total();
    lines.push_back(std::make_unique<sim::SimulatedLine>(handset));
    if (fault_rate > 0) {
      sim::RandomFaults random;
      random.rate = fault_rate;
      random.seed = lines.size();
      lines.back()->faults().set_random(random);
    }
    return *lines.back();
  };
  platform::set_device_opener([&](int, const platform::SerialSettings&, std::string*) {
    auto port = std::make_unique<platform::MemorySerialDevice>();
    sim::connect(new_line(), *port);
    return std::unique_ptr<platform::SerialDevice>(std::move(port));
  });
  platform::QtPanels panels;
  platform::set_user_interface(&panels);

  double shown_ms = 0;
  long rss_first = 0, rss_last = 0, fds_first = 0, fds_last = 0;
  int green = 0, red = 0;
  double runs_ms = 0;
  QTimer::singleShot(0, [&] {
    shown_ms = ms_since_start();  // the selection panel is up and its loop runs
    platform::SetCtrlVal(ui::select_panel(), ui::kCustomerControl, 1);
    platform::SetCtrlVal(ui::select_panel(), ui::kPortControl, 3);
    QTimer::singleShot(0, [&] {
      const auto t0 = Clock::now();
      for (int i = 0; i < runs; ++i) {
        press(panels, kRunButton);
        lines.back()->clear_requests();
        int colour = 0;
        platform::GetCtrlAttribute(platform::run_panel(), platform::kRunLogControl,
                                   platform::kAttrBackColor, &colour);
        if (colour == platform::kColorGreen) ++green;
        if (colour == platform::kColorRed) ++red;
        if (i == 0) {
          rss_first = status_kb("VmRSS:");
          fds_first = open_descriptors();
        }
      }
      runs_ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      rss_last = status_kb("VmRSS:");
      fds_last = open_descriptors();
      press(panels, kExitButton);
    });
    COMPORT(ui::select_panel(), ui::kPortControl, platform::kEventCommit, nullptr, 0, 0);
  });
  const int status = ui::main(panel_file);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("start to selection panel shown: %.1f ms (in process, after the program is loaded)\n",
              shown_ms);
  std::printf("%d presses of Run: %.1f ms, %.3f ms per run (4-line script, fake clock)\n", runs,
              runs_ms, runs > 0 ? runs_ms / runs : 0.0);
  std::printf(
      "outcomes: %d green, %d red (random faults on %.2f%% of the requests, %d committed)\n", green,
      red, fault_rate * 100,
      committed + (lines.empty() ? 0 : lines.back()->faults().committed_total()));
  std::printf("port opened %zu times (again after each hang-up)\n", lines.size());
  std::printf("memory (RSS) after the first run: %ld kB, after the last: %ld kB\n", rss_first,
              rss_last);
  std::printf("open descriptors after the first run: %ld, after the last: %ld\n", fds_first,
              fds_last);
  std::printf("peak memory (max RSS): %ld kB\n", usage.ru_maxrss);
  print_figure("panels: start to selection panel shown (offscreen, in process)",
               platform::strprintf("%.1f ms", shown_ms), "< 1000 ms");
  print_figure(platform::strprintf("panels: memory after the first and the last of %d runs", runs),
               platform::strprintf("%ld kB, %ld kB (peak %ld kB)", rss_first, rss_last,
                                   usage.ru_maxrss),
               "no growth");
  platform::set_user_interface(nullptr);
  platform::close_all_ports();
  platform::set_device_opener(nullptr);
  platform::set_time_source(nullptr);
  std::filesystem::current_path("/");
  std::filesystem::remove_all(folder);
  return status;
}
