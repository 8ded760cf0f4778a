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

}  // namespace

// The example station's main script: IMEI backup, format, IMEI restore,
// directories, the calibration files, compare, check, NVM reset; on each of
// the ports whose PC file names differ.
class EndToEndStation : public ::testing::TestWithParam<int> {};

TEST_P(EndToEndStation, main_script_runs_green_keeps_the_imei_and_leaves_the_pc_files) {
  const int port = GetParam();
  char name[] = "/tmp/ffsload-e2e-dump-XXXXXX";
  ASSERT_NE(mkdtemp(name), nullptr);
  const stdfs::path work = name;
  const stdfs::path dump = work / "flash";
  const stdfs::path station = work / "station";
  const stdfs::path handset = e2e::examples_dir() + "/handset";
  stdfs::copy(e2e::examples_dir() + "/station", station, stdfs::copy_options::recursive);

  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({"--load", handset.string(), "--dump", dump.string()}));
  auto result = e2e::run_ffsload(
      {"run", "--port", std::to_string(port), "--device", sim.device(), "--script", "main.tms"},
      station.string());
  EXPECT_EQ(sim.stop(), 0) << sim.errors();
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("fwr ramps rf/tx/ramps , 992bytes => 0 (1)"), std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("fwr IMEI IMEI , 8bytes => 0 (1)"), std::string::npos) << result.out;

  // The backup went to the port's own PC file, and the handset got it back.
  const std::string suffix = port == 1 ? "_1" : port == 2 ? "_2" : "";
  EXPECT_EQ(read(station / ("IMEI" + suffix)), read(handset / "IMEI"));
  EXPECT_EQ(read(dump / "IMEI"), read(handset / "IMEI"));

  const std::vector<std::pair<std::string, std::string>> files = {
      {"gsm/rf/afcdac", "rf/afcdac"},
      {"gsm/rf/tx/ramps", "rf/tx/ramps"},
      {"gsm/rf/tx/levels.gsm", "rf/tx/levels.gsm"},
      {"gsm/rf/tx/levels.dcs", "rf/tx/levels.dcs"},
      {"gsm/rf/tx/calchan.all", "rf/tx/calchan.all"},
      {"gsm/rf/rx/calchan.all", "rf/rx/calchan.all"},
      {"gsm/rf/rx/agcparams.gsm", "rf/rx/agcparams.gsm"},
      {"gsm/rf/rx/agcparams.dcs", "rf/rx/agcparams.dcs"},
      {"gsm/lineinfo", "data/lineinfo.bin"}};
  for (const auto& [on_handset, pc] : files) {
    ASSERT_TRUE(stdfs::exists(dump / on_handset)) << on_handset;
    EXPECT_EQ(read(dump / on_handset), read(station / pc)) << on_handset;
  }
  const std::vector<std::pair<std::string, std::uintmax_t>> lengths = {
      {"gsm/rf/afcdac", 2},           {"gsm/rf/tx/ramps", 992},       {"gsm/rf/tx/levels.gsm", 128},
      {"gsm/rf/tx/levels.dcs", 128},  {"gsm/rf/tx/calchan.all", 128}, {"gsm/rf/rx/calchan.all", 68},
      {"gsm/rf/rx/agcparams.gsm", 8}, {"gsm/rf/rx/agcparams.dcs", 8}};
  for (const auto& [on_handset, length] : lengths) {
    EXPECT_EQ(stdfs::file_size(dump / on_handset), length);
  }
  EXPECT_FALSE(stdfs::exists(dump / "gsm/scratch"));    // removed by "rm"
  EXPECT_FALSE(stdfs::exists(dump / "mmi/NvmPreset"));  // removed by "resetnvm"
  stdfs::remove_all(work);
}

// One port on the real road; the suffix rules of every port are covered on the fake clock.
INSTANTIATE_TEST_SUITE_P(Ports, EndToEndStation, ::testing::Values(1));

TEST(EndToEndStationWithoutImei, a_handset_without_an_imei_file_runs_green_and_gets_none) {
  char name[] = "/tmp/ffsload-e2e-dump-XXXXXX";
  ASSERT_NE(mkdtemp(name), nullptr);
  const stdfs::path work = name;
  const stdfs::path station = work / "station";
  stdfs::copy(e2e::examples_dir() + "/station", station, stdfs::copy_options::recursive);
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({"--dump", (work / "flash").string()}));
  auto result = e2e::run_ffsload(
      {"run", "--port", "3", "--device", sim.device(), "--script", "main.tms"}, station.string());
  EXPECT_EQ(sim.stop(), 0) << sim.errors();
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  // No backup, no write-back, no compare: the IMEI lines leave no trace.
  EXPECT_EQ(result.out.find("IMEI"), std::string::npos) << result.out;
  EXPECT_FALSE(stdfs::exists(station / "IMEI"));
  EXPECT_FALSE(stdfs::exists(work / "flash/IMEI"));
  stdfs::remove_all(work);
}
