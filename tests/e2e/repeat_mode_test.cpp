// "ffsload run --repeat" at a terminal: driven through a pseudo-terminal.
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "records/sqlite_store.h"
#include "support/e2e_support.h"
#include "support/hidden_identities.h"
#include "support/temp_dir.h"

namespace {

// ffsload on a new pseudo-terminal: what it prints, and what we type.
class TerminalSession {
 public:
  TerminalSession(const std::vector<std::string>& args, const std::string& cwd) {
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      if (chdir(cwd.c_str()) != 0) _exit(126);
      std::vector<char*> argv{const_cast<char*>(FFSLOAD_BIN)};
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      unsetenv("NO_COLOR");
      execv(FFSLOAD_BIN, argv.data());
      _exit(127);
    }
  }
  ~TerminalSession() {
    // A test that stopped half-way leaves the program asking: the terminal
    // closed under it ends it instead of the test waiting for it forever.
    if (master_ >= 0) close(master_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }

  // Reads until text has appeared (or ten seconds pass).
  bool wait_for(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (seen_.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buffer[512];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) return seen_.find(text) != std::string::npos;
      seen_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  }
  void type(const std::string& text) { (void)!write(master_, text.data(), text.size()); }
  int wait_exit() {
    wait_for("\x04never");  // drains the output until the program closes the terminal
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& seen() const { return seen_; }

 private:
  pid_t pid_ = -1;
  int master_ = -1;
  std::string seen_;
};

const char* kPrompt = "Enter to run again, q and Enter to quit: ";

}  // namespace

TEST(RepeatMode, runs_again_on_enter_with_a_coloured_summary_and_quits_on_q) {
  testing_support::TempDir dir;
  const std::string station = e2e::copy_example_station(dir.path());
  e2e::SimProcess sim;
  // The second handset refuses ti: that run turns red, the third is green again.
  ASSERT_TRUE(sim.start({"--fault", "refuse:0x20:2:5"}));
  TerminalSession t(
      {"run", "--port", "3", "--device", sim.device(), "--script", "testmode.tms", "--repeat"},
      station);
  ASSERT_TRUE(t.wait_for(kPrompt)) << t.seen();
  EXPECT_NE(t.seen().find("run 1: \033[1;32mgreen\033[0m, "), std::string::npos) << t.seen();
  t.type("\n");
  ASSERT_TRUE(t.wait_for("run 2: ")) << t.seen();
  ASSERT_TRUE(t.wait_for(kPrompt)) << t.seen();
  EXPECT_NE(t.seen().find("run 2: \033[1;31mred\033[0m, "), std::string::npos) << t.seen();
  t.type("\n");
  ASSERT_TRUE(t.wait_for("run 3: \033[1;32mgreen")) << t.seen();
  ASSERT_TRUE(t.wait_for(kPrompt));
  t.type("q\n");
  EXPECT_EQ(t.wait_exit(), 0) << t.seen();  // the last run's status
}

TEST(RepeatMode, end_of_input_quits_and_plain_output_when_not_a_terminal) {
  testing_support::TempDir dir;
  const std::string station = e2e::copy_example_station(dir.path());
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({}));
  // stdin is empty and no terminal, stdout a file.
  auto result = e2e::run_ffsload(
      {"run", "--port", "3", "--device", sim.device(), "--script", "testmode.tms", "--repeat"},
      station);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  // The seconds depend on where the clock's second falls.
  EXPECT_NE(result.out.find("\nrun 1: green, "), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("\033["), std::string::npos);
}

TEST(StationCheck, the_example_station_checks_clean) {
  auto result = e2e::run_ffsload({"check"}, e2e::examples_dir() + "/station");
  EXPECT_EQ(result.exit_code, 0) << result.out;
  EXPECT_EQ(result.out, "ffsload check: 4 files checked: no problems\n");
}

TEST(RepeatMode, asks_each_units_serial_before_its_run_and_never_carries_one_over) {
  testing_support::TempDir dir;
  testing_support::TempDir::write("ffsload.conf",
                                  "unit-serial = required\nunit-serial-pattern = SN[0-9]{4}\n");
  std::filesystem::copy_file(e2e::examples_dir() + "/station/testmode.tms", "testmode.tms");
  e2e::SimProcess sim;
  ASSERT_TRUE(sim.start({}));
  TerminalSession t(
      {"run", "--port", "3", "--device", sim.device(), "--script", "testmode.tms", "--repeat"},
      dir.path());
  const char* ask = "Next unit: scan or type its serial and Enter, q and Enter to quit: ";
  ASSERT_TRUE(t.wait_for(ask)) << t.seen();
  t.type("SN12\n");  // refused: nothing runs, it asks again
  ASSERT_TRUE(t.wait_for("does not match the station's pattern SN[0-9]{4}: nothing runs"))
      << t.seen();
  t.type("\n");  // required: an Enter alone runs nothing either
  ASSERT_TRUE(t.wait_for("this station requires the unit's serial")) << t.seen();
  // Characters that hide or reorder text: named, nothing runs, asked again.
  // (DEL would be the terminal's erase key, so the C0 sample is ESC.)
  for (const auto& sample : testing_support::hidden_identities()) {
    t.type(sample.text + "\n");
    ASSERT_TRUE(t.wait_for("holds " + sample.named)) << sample.what << ": " << t.seen();
  }
  t.type("SN0001\n");
  ASSERT_TRUE(t.wait_for("run 1: ")) << t.seen();
  EXPECT_NE(t.seen().find("unit SN0001: attempt 1"), std::string::npos) << t.seen();
  t.type("SN0002\n");
  ASSERT_TRUE(t.wait_for("run 2: ")) << t.seen();
  EXPECT_NE(t.seen().find("unit SN0002: attempt 1"), std::string::npos) << t.seen();
  ASSERT_TRUE(t.wait_for(ask));
  t.type("q\n");
  EXPECT_EQ(t.wait_exit(), 0) << t.seen();
  records::SqliteStore store("runs.sqlite", records::OpenFor::kReading);
  EXPECT_EQ(store.query("SELECT unit_serial FROM runs ORDER BY id", {}),
            (std::vector<records::Row>{{"SN0001"}, {"SN0002"}}));
}
