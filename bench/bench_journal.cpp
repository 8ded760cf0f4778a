// What reading a port's run journal costs before a run may start: a journal
// of many runs (a station whose journal could not be tidied, a damaged one
// that waits for an engineer) read whole, and the compaction that follows.
//
//   bench_journal [MEGABYTES] [FOLDER]   (default 20, a new folder under /dev/shm)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/text_format.h"
#include "station/run_journal.h"
#include "support/measure.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 20.0;
  std::string folder = argc > 2 ? argv[2] : "";
  if (folder.empty()) {
    // Memory-backed where there is one: every journal line is flushed as it
    // is written, and only the reading is measured.
    char name[] = "/dev/shm/ffsload-bench-journal-XXXXXX";
    if (!std::filesystem::is_directory("/dev/shm"))
      std::snprintf(name, sizeof name, "/tmp/ffsload-bench-jrnl-XXXXXX");
    if (!mkdtemp(name)) return 1;
    folder = name;
  }
  const std::string path = folder + "/run-journal_3";
  // Written as runs write it, then one damaged line so that nothing tidies it.
  {
    std::filesystem::remove(path);
    station::RunJournal journal(path);
    journal.load();
    const std::vector<std::uint8_t> imei{0x53, 0x02, 0x99, 0x10, 0x47, 0x65, 0x43, 0xF1};
    const auto wanted = static_cast<std::uintmax_t>(megabytes * 1024 * 1024);
    for (int i = 0; !std::filesystem::exists(path) || std::filesystem::file_size(path) < wanted;
         ++i) {
      station::JournalRun r;
      r.uid = platform::strprintf("line-4-%d-%016x", i, i * 2654435761u);
      r.started_at_ms = 1'700'000'000'000 + i;
      r.port = 3;
      r.device = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
      r.customer = "1";
      r.script = "main.tms";
      r.ma_no = "MA-0001";
      r.station = "line-4";
      r.tool_version = "1.0";
      r.unit_serial = platform::strprintf("SN%08d", i);
      journal.started(r);
      journal.backed_up(r.uid, imei, "/station/IMEI_3");
      journal.formatting(r.uid);
      journal.written_back(r.uid);
      journal.ended(r.uid, "green");
    }
    std::FILE* f = std::fopen(path.c_str(), "ab");
    std::fputs("format damaged *00000000\n", f);
    std::fclose(f);
  }
  const auto size = std::filesystem::file_size(path);
  station::RunJournal journal(path);
  const auto start = Clock::now();
  const bool read = journal.load();
  const double load_ms = ms_since(start);
  std::printf("journal: %.1f MB, %zu runs, %zu damaged line(s)\n", static_cast<double>(size) / 1048576.0,
              journal.runs().size(), journal.damaged().size());
  testing_support::print_figure("load a 20 MB journal", platform::strprintf("%.0f ms", load_ms),
                                "< 1000 ms");
  const auto tidy = Clock::now();
  const bool compacted = journal.compact(256 * 1024);
  testing_support::print_figure("compact it, damaged line kept",
                                platform::strprintf("%.0f ms, %.1f KB left", ms_since(tidy),
                                                    static_cast<double>(std::filesystem::file_size(path)) / 1024.0),
                                "< 1000 ms, < 256 KB");
  if (argc <= 2) std::filesystem::remove_all(folder);
  return read && compacted ? 0 : 1;
}
