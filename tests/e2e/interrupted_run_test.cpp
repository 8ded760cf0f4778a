// Runs of the example station's main script that are interrupted by the
// operator, a closed pipe or a full disk: the handset keeps its IMEI or gets
// exactly its own back, and the tool says what it did.
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/e2e_support.h"

namespace stdfs = std::filesystem;

namespace {

std::vector<char> read(const stdfs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string last_line(const std::string& text) {
  std::string trimmed = text;
  while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
  const auto at = trimmed.rfind('\n');
  return at == std::string::npos ? trimmed : trimmed.substr(at + 1);
}

bool has_part_file(const stdfs::path& folder) {
  for (const auto& entry : stdfs::recursive_directory_iterator(folder)) {
    if (entry.path().extension() == ".part") return true;
  }
  return false;
}

class InterruptedRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/ffsload-e2e-stop-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    work = name;
    station = work / "station";
    stdfs::copy(e2e::examples_dir() + "/station", station, stdfs::copy_options::recursive);
    ASSERT_TRUE(sim.start({"--load", handset.string(), "--dump", (work / "flash").string()}));
  }
  void TearDown() override { stdfs::remove_all(work); }

  bool start(const std::string& shell_prefix = "", std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"run",        "--port",   "3",       "--device",
                                     sim.device(), "--script", "main.tms"};
    args.insert(args.end(), extra.begin(), extra.end());
    return tool.start(args, station.string(), shell_prefix);
  }
  // Stops the handset and reads what its flash holds as its IMEI file.
  std::vector<char> handset_imei_after_run() {
    EXPECT_EQ(sim.stop(), 0) << sim.errors();
    return read(work / "flash/IMEI");
  }

  const stdfs::path handset = e2e::examples_dir() + "/handset";
  stdfs::path work;
  stdfs::path station;
  e2e::SimProcess sim;
  e2e::FfsloadProcess tool;
};

}  // namespace

TEST_F(InterruptedRun, a_signal_during_the_format_waits_for_the_imei_write_back) {
  ASSERT_TRUE(start());
  ASSERT_TRUE(tool.wait_for_line("frd IMEI IMEI"));
  usleep(500'000);  // the format is under way: its pause lasts 2 seconds
  tool.signal(SIGINT);
  const e2e::RunResult r = tool.finish();
  EXPECT_EQ(r.exit_code, 130) << r.err;
  EXPECT_EQ(last_line(r.out), "fwr IMEI IMEI , 8bytes => 0 (1)") << r.out;
  EXPECT_NE(last_line(r.err).find("stopped by SIGINT after script line 4"), std::string::npos)
      << r.err;
  EXPECT_EQ(handset_imei_after_run(), read(handset / "IMEI"));
}

TEST_F(InterruptedRun, a_signal_before_the_format_stops_with_the_handset_untouched) {
  ASSERT_TRUE(start());
  ASSERT_TRUE(tool.wait_for_line("tms 1"));
  tool.signal(SIGTERM);
  const e2e::RunResult r = tool.finish();
  EXPECT_EQ(r.exit_code, 143) << r.err;
  // Whether or not the format began before the signal came, the handset has its IMEI.
  if (r.out.find("mkfs") != std::string::npos) {
    EXPECT_NE(r.out.find("fwr IMEI IMEI , 8bytes => 0"), std::string::npos) << r.out;
  }
  EXPECT_NE(last_line(r.err).find("stopped by SIGTERM"), std::string::npos) << r.err;
  EXPECT_EQ(handset_imei_after_run(), read(handset / "IMEI"));
}

TEST_F(InterruptedRun, a_second_signal_ends_at_once_and_names_the_file_that_holds_the_imei) {
  ASSERT_TRUE(start());
  ASSERT_TRUE(tool.wait_for_line("frd IMEI IMEI"));
  usleep(500'000);  // within the format's pause
  tool.signal(SIGINT);
  usleep(100'000);
  tool.signal(SIGINT);
  const e2e::RunResult r = tool.finish();
  EXPECT_EQ(r.exit_code, 130) << r.err;
  EXPECT_NE(last_line(r.err).find("only in the PC file IMEI"), std::string::npos) << r.err;
  EXPECT_EQ(read(station / "IMEI"), read(handset / "IMEI"));
  EXPECT_FALSE(has_part_file(station));
  EXPECT_TRUE(handset_imei_after_run().empty());  // formatted, as the tool said
}

TEST_F(InterruptedRun, a_closed_stdout_never_stops_the_run_and_the_log_is_still_saved) {
  ASSERT_TRUE(start("", {"--save"}));
  ASSERT_TRUE(tool.wait_for_line("tms 1"));
  tool.close_stdout();
  const e2e::RunResult r = tool.finish();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(handset_imei_after_run(), read(handset / "IMEI"));
  bool saved_whole = false;
  for (const auto& entry : stdfs::directory_iterator(station)) {
    if (entry.path().filename().string().starts_with("Download_")) {
      const auto log = read(entry.path());
      saved_whole = std::string(log.begin(), log.end()).find("rm scratch") != std::string::npos;
    }
  }
  EXPECT_TRUE(saved_whole) << r.err << r.out;
}

TEST_F(InterruptedRun, a_full_disk_at_the_imei_read_back_stops_before_the_format) {
  // A file-size limit of 0 makes every write to a file fail, as a full disk does.
  ASSERT_TRUE(start("ulimit -f 0"));
  const e2e::RunResult r = tool.finish();
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_NE(r.out.find("frd IMEI IMEI, 8Bytes=> 55(1)"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("mkfs"), std::string::npos) << r.out;
  EXPECT_FALSE(has_part_file(station));
  EXPECT_EQ(handset_imei_after_run(), read(handset / "IMEI"));
}
