#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/e2e_support.h"
#include "support/temp_dir.h"

namespace {

std::string content(const std::string& name) {
  std::ifstream in(name);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(EndToEndRecords, runs_leave_records_that_the_report_counts_and_draws) {
  unsetenv("FFSLOAD_RECORDS");
  testing_support::TempDir dir;
  testing_support::TempDir::write("custdefine", "1 t.tms\n4 qm\n4.2 t.tms\n");
  std::filesystem::create_directory("t");
  testing_support::TempDir::write("t/MA_NO", "ORD4711");
  testing_support::TempDir::write("t.tms", "tms 1\nti\n");
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({}));
  const std::vector<std::string> run{"run",        "--port",     "3", "--device",
                                     sim.device(), "--customer", "1"};
  EXPECT_EQ(e2e::run_ffsload(run, dir.path()).exit_code, 0);
  EXPECT_TRUE(std::filesystem::exists("runs.sqlite"));

  // A records file that cannot be written changes neither the run nor its
  // exit status; the record waits in the outbox and the operator is told.
  testing_support::TempDir::write("broken.sqlite", std::string(4096, 'x'));
  auto broken = run;
  broken.insert(broken.end(), {"--records", "broken.sqlite"});
  const auto result = e2e::run_ffsload(broken, dir.path());
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "tms 1  => 0 (1)\nti  => 0 (1)\n");
  EXPECT_NE(result.err.find("kept in runs-outbox.sqlite"), std::string::npos) << result.err;
  // The next run that reaches runs.sqlite takes it along.
  const auto next = e2e::run_ffsload(run, dir.path());
  EXPECT_NE(next.err.find("1 record(s) kept"), std::string::npos) << next.err;

  const auto report = e2e::run_ffsload({"report", "--csv", "--chart", "yield.svg"}, dir.path());
  EXPECT_EQ(report.exit_code, 0) << report.err;
  // No IMEI read back in this script: runs, but no handsets; each run is a
  // unit of its own (a run yield), and the report says so.
  EXPECT_NE(report.out.find(",1,3,0,0,0,,,,,0,3,3,3,100.0,3,100.0,3\n"), std::string::npos)
      << report.out;
  EXPECT_NE(report.err.find("the yields above are run yields"), std::string::npos) << report.err;
  EXPECT_TRUE(content("yield.svg").starts_with("<svg")) << content("yield.svg");

  // The customer of the "qm" line is recorded with the sub-number it ran.
  const std::vector<std::string> sub{"run",          "--port",     "3",   "--device",
                                     sim.device(),   "--customer", "4.2", "--records",
                                     "qm.sqlite"};
  EXPECT_EQ(e2e::run_ffsload(sub, dir.path()).exit_code, 0);
  const auto by_customer = e2e::run_ffsload({"report", "--csv", "--records", "qm.sqlite"}, dir.path());
  EXPECT_NE(by_customer.out.find(",4.2,1,"), std::string::npos) << by_customer.out;

  EXPECT_EQ(e2e::run_ffsload({"report", "--since", "2024-13-01"}, dir.path()).exit_code, 2);
  EXPECT_EQ(e2e::run_ffsload({"report", "--records", "none.sqlite"}, dir.path()).exit_code, 1);
}
