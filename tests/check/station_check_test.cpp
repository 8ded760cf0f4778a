// The checker against deliberately broken stations: each trap alone, with
// the line it stands on.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "check/custdefine_check.h"
#include "check/findings.h"
#include "check/script_check.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

struct Outcome {
  std::string text;
  int errors = 0;
  int warnings = 0;
};

// Runs the checker as "ffsload check [FILE]" does and keeps what it prints.
Outcome run_check(bool whole_station, bool explain = false) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  check::Report report(out);
  std::vector<std::string> scripts{"t.tms"};
  if (whole_station) scripts = check::check_custdefine(report);
  for (const auto& s : scripts) check::check_script(s, report, explain);
  std::fclose(out);
  Outcome o{std::string(buffer, size), report.errors(), report.warnings()};
  std::free(buffer);
  return o;
}

struct Trap {
  const char* name;
  std::string script;
  std::string expected;  // the whole prefix and a telling part of the text
  bool error;
};

class ScriptTraps : public ::testing::Test {
 protected:
  void SetUp() override {
    TempDir::write("cal", "x");
    TempDir::write("cal_1", "x");
    TempDir::write("abcd.bin", "x");
    TempDir::write("big.bin", std::string(3001, 'b'));
    std::filesystem::create_directory("folder");
  }
  TempDir dir;
};

TEST_F(ScriptTraps, each_trap_is_reported_once_on_its_line) {
  const std::string ok = "tms 1\nmkfs\n";
  const Trap traps[] = {
      {"a long line whose second part is a command",
       ok + "rm a" + std::string(35, ' ') + "cd /gsm\n",
       "t.tms:3: error: line of 46 characters: the run reads at most 38 at a time", true},
      {"a keyword in capitals", ok + "FWR a b\n", "t.tms:3: warning: not a command", false},
      {"a keyword after a blank", ok + " tms 1\n", "stands after a blank", false},
      {"a keyword after a tab", "\tcd /gsm\n", "t.tms:1: warning: not a command", false},
      {"an unknown word", ok + "write a b\n",
       "t.tms:3: warning: not a command, skipped without "
       "a word at run time: \"write\" is no keyword",
       false},
      {"a keyword that begins another word", ok + "sleepy 10\n",
       "t.tms:3: warning: \"sleepy\" begins with the keyword \"sleep\"", false},
      {"a word over its limit", ok + "rm " + std::string(20, 'r') + "\n", "t.tms:3: error: word 2",
       true},
      {"a missing word", ok + "fwr cal\n", "t.tms:3: error: missing word 3 (the PC file name)",
       true},
      {"too many words", ok + "mkfs now\n", "t.tms:3: warning: words after word 1 are ignored: now",
       false},
      {"a missing PC file", ok + "fwr a nothere.bin\n",
       "t.tms:3: error: PC file \"nothere.bin\" is missing", true},
      {"a PC file that is a folder", ok + "compare a folder\n",
       "t.tms:3: error: PC file \"folder\" is a folder", true},
      {"a PC file over 3000 bytes", ok + "fwr a big.bin\n",
       "t.tms:3: error: PC file \"big.bin\" has 3001 bytes", true},
      {"a PC name that takes the port suffix", ok + "fwr cal cal\n",
       "t.tms:3: warning: PC name \"cal\" agrees with the handset name, so it takes the port "
       "suffix: port 1 reads \"cal_1\", port 2 \"cal_2\", ports 3 to 8 \"cal\"; missing: "
       "\"cal_2\"",
       false},
      {"a PC name too long for the suffix", ok + "frd a abcdefghijklmnopqr\n",
       "t.tms:3: error: PC name \"abcdefghijklmnopqr\" has 18 characters, more than 17, too long "
       "for the port suffix",
       true},
      {"an IMEI write-back without a read-back", ok + "fwr IMEI IMEI\n",
       "t.tms:3: warning: \"fwr\" of the IMEI-named file \"IMEI\" with no \"frd\"", false},
      {"a cw value that is not hexadecimal", ok + "cw 1 0 0x12G4\n",
       "t.tms:3: error: value \"0x12G4\" is not", true},
      {"a stw sub-command that gives 60", ok + "stw 5\n",
       "t.tms:3: error: \"stw 5\": the sub-command \"5\" makes the number 2, which \"stw\" does "
       "not serve: the run stops here with status 60",
       true},
      {"a sleep that is not a number", ok + "sleep 1s\n",
       "t.tms:3: warning: \"1s\" is not a decimal number of milliseconds: the run waits 1 ms",
       false},
      {"a handset path over its limit", "cd /" + std::string(30, 'd') + "\ncompare abcd abcd.bin\n",
       "t.tms:2: error: handset path \"/" + std::string(30, 'd') + "/abcd\" has 36 characters",
       true},
  };
  for (const Trap& trap : traps) {
    SCOPED_TRACE(trap.name);
    TempDir::write("t.tms", trap.script);
    const Outcome o = run_check(false);
    EXPECT_NE(o.text.find(trap.expected), std::string::npos) << o.text;
    EXPECT_EQ(o.errors + o.warnings, 1) << o.text;
    EXPECT_EQ(o.errors, trap.error ? 1 : 0) << o.text;
  }
}

TEST_F(ScriptTraps, a_read_back_pairs_with_the_write_back_of_the_same_names) {
  TempDir::write("t.tms", "frd IMEI IMEI\nmkfs\nfwr IMEI IMEI\ncompare IMEI IMEI\n");
  EXPECT_EQ(run_check(false).text, "");
  // Alone, the read-back's suffix is worth a word.
  TempDir::write("t.tms", "frd cal.bak cal.bak\n");
  EXPECT_NE(run_check(false).text.find("t.tms:1: warning: \"frd\" adds the port suffix: port 1 "
                                       "writes \"cal.bak_1\""),
            std::string::npos);
}

TEST_F(ScriptTraps, explain_says_what_each_line_runs_and_which_part_of_a_long_line) {
  TempDir::write("t.tms", "# station 7\ncd /gsm\nfwr cal x" + std::string(30, ' ') + "cal\n");
  const Outcome o = run_check(false, true);
  EXPECT_NE(o.text.find("t.tms:1: explain: skipped: \"#\" is no keyword"), std::string::npos)
      << o.text;
  EXPECT_NE(o.text.find("t.tms:3: explain: fwr: writefile(the line, directory \"/gsm\", \"cal\", "
                        "\"x\")"),
            std::string::npos)
      << o.text;
  EXPECT_NE(o.text.find("t.tms:3: explain: skipped: \"cal\" is no keyword (run line 4)"),
            std::string::npos)
      << o.text;
}

class StationTraps : public ::testing::Test {
 protected:
  void SetUp() override {
    TempDir::write("good.tms", "tms 1\n");
    std::filesystem::create_directory("good");
    TempDir::write("good/MA_NO", "ORD-1\n");
  }
  TempDir dir;
};

TEST_F(StationTraps, each_custdefine_trap_is_reported_on_its_line) {
  std::string forty;
  for (int i = 0; i < 40; ++i) forty += std::to_string(i + 10) + " good.tms\n";
  const Trap traps[] = {
      {"a line read as two", "1 good.tms\n12 good.tms" + std::string(8, ' ') + "3 good.tms\n",
       "custdefine:2: error: line longer than 18 characters: the tool reads it as 2 lines", true},
      {"an entry past the 40th read", forty + "99 good.tms\n", "custdefine:41: error: never read",
       true},
      {"a duplicate key", "1 good.tms\n1.0 good.tms\n",
       "custdefine:2: warning: key \"1.0\" repeats the key of line 1", false},
      {"a key that is not a number", "1 good.tms\nx1 good.tms\n",
       "custdefine:2: warning: key \"x1\" is not a number: it reads as 0", false},
      {"a key with no name", "1 good.tms\n7\n", "custdefine:2: warning: key \"7\" names no script",
       false},
      {"a second qm line", "4 qm\n1 good.tms\n5 qm\n",
       "custdefine:3: warning: only the first \"qm\" line counts (line 1)", false},
      {"a missing script", "1 good.tms\n2 gone.tms\n",
       "custdefine:2: error: script \"gone.tms\" is missing", true},
  };
  for (const Trap& trap : traps) {
    SCOPED_TRACE(trap.name);
    TempDir::write("custdefine", trap.script);
    const Outcome o = run_check(true);
    EXPECT_NE(o.text.find(trap.expected), std::string::npos) << o.text;
    EXPECT_EQ(o.errors + o.warnings, 1) << o.text;
    EXPECT_EQ(o.errors, trap.error ? 1 : 0) << o.text;
  }
}

TEST_F(StationTraps, customer_folder_and_ma_no_are_checked) {
  TempDir::write("other.tms", "tms 1\n");
  TempDir::write("custdefine", "1 good.tms\n2 other.tms\n");
  EXPECT_NE(
      run_check(true).text.find("custdefine:2: warning: customer folder \"other\" is missing"),
      std::string::npos);
  std::filesystem::create_directory("other");
  EXPECT_NE(run_check(true).text.find("custdefine:2: warning: \"other/MA_NO\" is missing"),
            std::string::npos);
  TempDir::write("other/MA_NO", "ORD4711-0417\n");
  EXPECT_NE(run_check(true).text.find("custdefine:2: warning: \"other/MA_NO\" holds 12 "
                                      "characters: the run panel shows only the first 10, "
                                      "\"ORD4711-04\""),
            std::string::npos);
}

TEST_F(StationTraps, the_scripts_of_the_station_are_checked_too) {
  TempDir::write("custdefine", "1 good.tms\n");
  TempDir::write("good.tms", "tms 1\nfwr a missing.bin\n");
  const Outcome o = run_check(true);
  EXPECT_NE(o.text.find("good.tms:2: error: PC file \"missing.bin\" is missing"),
            std::string::npos);
}

}  // namespace
