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

TEST(EndToEndDownload, main_script_leaves_the_pc_files_byte_for_byte_on_the_handset) {
  char name[] = "/tmp/ffsload-e2e-dump-XXXXXX";
  ASSERT_NE(mkdtemp(name), nullptr);
  const stdfs::path work = name;
  const stdfs::path dump = work / "flash";
  const stdfs::path station = e2e::examples_dir() + "/station";

  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({"--dump", dump.string()}));
  auto result = e2e::run_ffsload(
      {"run", "--port", "3", "--device", sim.device(), "--script", "main.tms"}, station.string());
  EXPECT_EQ(sim.stop(), 0) << sim.errors();
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("fwr ramps rf/tx/ramps , 992bytes => 0 (1)"), std::string::npos)
      << result.out;

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
  for (const auto& [handset, pc] : files) {
    ASSERT_TRUE(stdfs::exists(dump / handset)) << handset;
    EXPECT_EQ(read(dump / handset), read(station / pc)) << handset;
  }
  const std::vector<std::pair<std::string, std::uintmax_t>> lengths = {
      {"gsm/rf/afcdac", 2},           {"gsm/rf/tx/ramps", 992},       {"gsm/rf/tx/levels.gsm", 128},
      {"gsm/rf/tx/levels.dcs", 128},  {"gsm/rf/tx/calchan.all", 128}, {"gsm/rf/rx/calchan.all", 68},
      {"gsm/rf/rx/agcparams.gsm", 8}, {"gsm/rf/rx/agcparams.dcs", 8}};
  for (const auto& [handset, length] : lengths) EXPECT_EQ(stdfs::file_size(dump / handset), length);
  EXPECT_FALSE(stdfs::exists(dump / "gsm/scratch"));    // removed by "rm"
  EXPECT_FALSE(stdfs::exists(dump / "mmi/NvmPreset"));  // removed by "resetnvm"
  stdfs::remove_all(work);
}
