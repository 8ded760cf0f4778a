// What an operator or a line engineer can get wrong on the command line must
// never cost the station its script, its records or a day of yield.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "support/e2e_support.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

class StationSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("FFSLOAD_RECORDS");
    TempDir::write("t.tms", "tms 1\nti\n");
    ASSERT_TRUE(sim.start({}));
  }
  std::vector<std::string> run(std::initializer_list<std::string> more = {}) const {
    std::vector<std::string> args{"run",        "--port",   "3",    "--device",
                                  sim.device(), "--script", "t.tms"};
    args.insert(args.end(), more);
    return args;
  }
  TempDir dir;
  e2e::SimProcess sim;
};

}  // namespace

TEST_F(StationSafety, a_trace_file_that_is_the_script_or_a_fifo_is_refused_before_the_run) {
  const auto script = e2e::run_ffsload(run({"--trace=t.tms"}), dir.path());
  EXPECT_EQ(script.exit_code, 2) << script.err;
  EXPECT_NE(script.err.find("it is the script"), std::string::npos) << script.err;
  EXPECT_EQ(script.out, "");
  EXPECT_EQ(TempDir::read("t.tms"), "tms 1\nti\n");

  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  const auto fifo = e2e::run_ffsload(run({"--trace=fifo"}), dir.path());
  EXPECT_EQ(fifo.exit_code, 2) << fifo.err;
  EXPECT_NE(fifo.err.find("not a plain file"), std::string::npos) << fifo.err;

  EXPECT_EQ(e2e::run_ffsload(run({"--trace=trace.txt"}), dir.path()).exit_code, 0);
  EXPECT_NE(TempDir::read("trace.txt").find("# run 1"), std::string::npos);
}

TEST_F(StationSafety, records_never_go_to_the_outbox_file_and_the_report_reads_days_strictly) {
  EXPECT_EQ(e2e::run_ffsload(run(), dir.path()).exit_code, 0);
  for (const char* outbox : {"runs-outbox.sqlite", "./runs-outbox.sqlite"}) {
    const auto refused = e2e::run_ffsload(run({"--records", outbox}), dir.path());
    EXPECT_EQ(refused.exit_code, 2) << outbox;
    EXPECT_NE(refused.err.find("is the outbox"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists("runs-outbox.sqlite"));

  // The chart's temporary file is never written through a planted link.
  TempDir::write("victim", "kept");
  std::filesystem::create_symlink("victim", "yield.svg.part");
  EXPECT_EQ(e2e::run_ffsload({"report", "--chart", "yield.svg"}, dir.path()).exit_code, 1);
  EXPECT_EQ(TempDir::read("victim"), "kept");

  for (const char* day : {"2024- 1-10", "2024-01-+9"}) {
    EXPECT_EQ(e2e::run_ffsload({"report", "--since", day}, dir.path()).exit_code, 2) << day;
  }
  ASSERT_EQ(std::system("sqlite3 runs.sqlite \"UPDATE runs SET failed_line = 'x', "
                        "outcome = 'red'\""),
            0);
  const auto bad = e2e::run_ffsload({"report"}, dir.path());
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_NE(bad.err.find("records runs.sqlite holds \"x\" as failed_line"), std::string::npos)
      << bad.err;
}
