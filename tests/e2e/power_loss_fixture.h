// What the power-cut tests share: handsets on their own simulators, a copy
// of the example station, and a run killed where nothing can be caught
// (SIGKILL stands for a power cut) in the pause after the format.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/e2e_support.h"
#include "support/process_tree.h"

namespace power_loss {

namespace stdfs = std::filesystem;

inline std::string read(const stdfs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

inline const std::string kImeiA("\x53\x02\x99\x10\x47\x65\x43\xF1", 8);  // examples/handset
inline const std::string kImeiB("\x35\x20\x11\x22\x33\x44\x55\x66", 8);

// One handset on the fixture: a simulator with a flash of its own, dumped on stop.
class Handset {
 public:
  Handset(const stdfs::path& work, const std::string& name, const stdfs::path& load,
          std::vector<std::string> extra = {})
      : flash_(work / (name + "-flash")) {
    stdfs::remove_all(flash_);
    std::vector<std::string> args = {"--load", load.string(), "--dump", flash_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    started_ = sim_.start(args);
  }
  bool started() const { return started_; }
  const std::string& device() const { return sim_.device(); }
  // Stops the handset; its flash is then in folder().
  const stdfs::path& stop() {
    sim_.stop();
    return flash_;
  }

 private:
  stdfs::path flash_;
  e2e::SimProcess sim_;
  bool started_ = false;
};

class PowerLoss : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/ffsload-e2e-power-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    work = name;
    station = work / "station";
    stdfs::copy(e2e::examples_dir() + "/station", station, stdfs::copy_options::recursive);
    // Handset B has an IMEI of its own, handset C none at all.
    stdfs::copy(e2e::examples_dir() + "/handset", work / "load-b", stdfs::copy_options::recursive);
    std::ofstream(work / "load-b" / "IMEI", std::ios::binary | std::ios::trunc) << kImeiB;
    stdfs::copy(e2e::examples_dir() + "/handset", work / "load-c", stdfs::copy_options::recursive);
    stdfs::remove(work / "load-c" / "IMEI");
  }
  void TearDown() override { stdfs::remove_all(work); }

  std::vector<std::string> run_args(const Handset& h, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"run",      "--port",    std::to_string(port),
                                     "--device", h.device(),  "--script",
                                     "main.tms", "--records", "loss.sqlite"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }

  // Starts a run on the handset and kills it in the pause after the format,
  // once the journal says the format is going out. `args` replaces the usual
  // run's (another front end); a port's own process is killed with its parent.
  void kill_in_format_pause(const Handset& h, std::vector<std::string> extra = {},
                            std::vector<std::string> args = {}) {
    const stdfs::path journal = station / ("run-journal_" + std::to_string(port));
    const auto formats = [&] {
      std::size_t n = 0;
      for (auto at = read(journal).find("\nformat "); at != std::string::npos;
           at = read(journal).find("\nformat ", at + 1)) {
        ++n;
      }
      return n;
    };
    const std::size_t before = formats();
    e2e::FfsloadProcess tool;
    ASSERT_TRUE(tool.start(args.empty() ? run_args(h, std::move(extra)) : args, station.string()));
    ASSERT_TRUE(tool.wait_for_line("frd IMEI IMEI"));
    for (int i = 0; i < 400 && formats() <= before; ++i) usleep(5'000);
    ASSERT_GT(formats(), before) << read(journal);
    usleep(300'000);  // the format pause lasts 2 seconds
    testing_support::kill_process_tree(tool.pid());
    const e2e::RunResult r = tool.finish();
    ASSERT_FALSE(contains(r.out, "fwr IMEI IMEI")) << r.out;  // killed before the write-back
  }

  e2e::RunResult run(const Handset& h, std::vector<std::string> extra = {}) {
    return e2e::run_ffsload(run_args(h, std::move(extra)), station.string());
  }

  stdfs::path work;
  stdfs::path station;
  int port = 3;  // of the runs that run() and kill_in_format_pause() start
};

}  // namespace power_loss
