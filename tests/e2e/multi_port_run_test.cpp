// Three handsets, each with its own IMEI, loaded at once from one station
// folder: each keeps its own IMEI, on ports that share PC names.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/e2e_support.h"

namespace stdfs = std::filesystem;

TEST(MultiPortRun, three_ports_at_once_each_handset_keeps_its_own_imei) {
  char name[] = "/tmp/ffsload-e2e-ports-XXXXXX";
  ASSERT_NE(mkdtemp(name), nullptr);
  const stdfs::path work = name;
  const stdfs::path station = work / "station";
  stdfs::copy(e2e::examples_dir() + "/station", station, stdfs::copy_options::recursive);

  const std::vector<int> ports = {3, 4, 5};
  std::vector<std::unique_ptr<e2e::SimProcess>> sims;
  std::ofstream comports(station / "comports");
  for (int port : ports) {
    const stdfs::path handset = work / ("handset" + std::to_string(port));
    stdfs::create_directories(handset);
    std::ofstream(handset / "IMEI") << "3579000" << port;
    sims.push_back(std::make_unique<e2e::SimProcess>());
    ASSERT_TRUE(sims.back()->start({"--load", handset.string(), "--dump",
                                    (work / ("flash" + std::to_string(port))).string()}));
    comports << port << " " << sims.back()->device() << "\n";
  }
  comports.close();

  auto result =
      e2e::run_ffsload({"run", "--ports", "3-5", "--script", "main.tms"}, station.string());
  for (auto& sim : sims) EXPECT_EQ(sim->stop(), 0) << sim->errors();
  EXPECT_EQ(result.exit_code, 0) << result.err;
  for (int port : ports) {
    const std::string expected = "3579000" + std::to_string(port);
    std::ifstream on_handset(work / ("flash" + std::to_string(port)) / "IMEI");
    std::string imei((std::istreambuf_iterator<char>(on_handset)), {});
    EXPECT_EQ(imei, expected) << "port " << port;
    std::ifstream backup(station / "ports" / std::to_string(port) / "IMEI");
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(backup)), {}), expected);
    EXPECT_NE(result.out.find("[" + std::to_string(port) + "] fwr IMEI IMEI , 8bytes => 0 (1)"),
              std::string::npos)
        << result.out;
  }
  EXPECT_FALSE(stdfs::exists(station / "IMEI"));  // nothing of a port's lands in the station
  stdfs::remove_all(work);
}
