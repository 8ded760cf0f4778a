#include "fs/readback.h"

#include <sys/resource.h>

#include <csignal>
#include <string>
#include <vector>

#include "file_command_fixture.h"
#include "fs/compare.h"
#include "fs/imei_guard.h"
#include "fs/refusals.h"

using testing_support::bytes;

class ReadBack : public testing_support::FileCommandTest {
 protected:
  int read_back(const std::string& handset_name, std::string pc_name,
                const std::string& directory = "/gsm/rf") {
    pc_name_ = pc_name;
    return fs::frd(link, imei, "frd " + handset_name + " " + pc_name, directory, handset_name,
                   pc_name_);
  }
  std::string pc_name_;
};

TEST_F(ReadBack, sends_query_setup_and_block_read_byte_for_byte) {
  put_handset_file("/gsm/rf/afcdac", bytes({0x34, 0x12}));
  EXPECT_EQ(read_back("afcdac", "afc"), 0);

  ASSERT_EQ(requests().size(), 3u);
  // "/gsm/rf/afcdac" is 14 characters: length bytes 16 (two zeros) and 15.
  const auto path =
      bytes({0x2F, 0x67, 0x73, 0x6D, 0x2F, 0x72, 0x66, 0x2F, 0x61, 0x66, 0x63, 0x64, 0x61, 0x63});
  auto query = bytes({0x01, 0x26, 16});
  query.insert(query.end(), path.begin(), path.end());
  for (int b : {0x00, 0x00, 0x23, 0x14, 0x00, 0x0D, 0x00}) query.push_back(std::uint8_t(b));
  EXPECT_EQ(requests()[0].payload, query);

  auto setup = bytes({0x01, 0x26, 15});
  setup.insert(setup.end(), path.begin(), path.end());
  // The reference from the query's reply goes back unchanged (the sim's first file: 0x4100).
  for (int b : {0x00, 0x23, 0x00, 0x41, 0x08, 0x00}) setup.push_back(std::uint8_t(b));
  EXPECT_EQ(requests()[1].payload, setup);
  EXPECT_EQ(requests()[2].payload, bytes({0x1A, 0x02, 0x00, 0x00}));

  EXPECT_EQ(read_pc_file("afc"), bytes({0x34, 0x12}));
  EXPECT_EQ(log(), std::vector<std::string>{"frd afcdac afc, 2Bytes=> 0(1)"});
}

TEST_F(ReadBack, reads_whole_blocks_and_remainders_of_every_size) {
  struct Case {
    std::size_t size;
    std::vector<int> blocks;
  };
  const std::vector<Case> cases{
      {0, {}},
      {123, full_blocks_then(1, 0)},
      {124, full_blocks_then(1, 1)},
      {125, full_blocks_then(1, 2)},   // 0x02 travels escaped: four head bytes
      {139, full_blocks_then(1, 16)},  // 0x10 likewise
      {246, full_blocks_then(2, 0)},
      {3000, full_blocks_then(24, 48)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    line.clear_requests();
    const auto content = pattern(c.size);
    put_handset_file("/gsm/rf/file", content);
    EXPECT_EQ(read_back("file", "pc"), 0);
    EXPECT_EQ(block_read_counts(), c.blocks);
    EXPECT_EQ(fs_requests(0x08).size(), 1u);
    EXPECT_EQ(read_pc_file("pc"), content);
    EXPECT_EQ(log().back(), "frd file pc, " + std::to_string(c.size) + "Bytes=> 0(1)");
  }
}

TEST_F(ReadBack, refuses_a_file_above_three_thousand_bytes_without_reading_it) {
  put_handset_file("/gsm/rf/big", pattern(3001));
  write_pc_file("pc", pattern(5));
  EXPECT_EQ(read_back("big", "pc"), 201);
  EXPECT_EQ(requests().size(), 1u);  // the query alone
  EXPECT_EQ(read_pc_file("pc"), std::vector<std::uint8_t>{});
  EXPECT_EQ(log(), std::vector<std::string>{"frd big pc, 3001Bytes=> 201(0)"});
}

TEST_F(ReadBack, counts_the_attempts_before_an_oversized_answer) {
  put_handset_file("/gsm/rf/big", pattern(3001));
  fault("silent:0x70/0x0D:1:2");
  EXPECT_EQ(read_back("big", "pc"), 201);
  EXPECT_EQ(log(), std::vector<std::string>{"frd big pc, 3001Bytes=> 201(2)"});
}

TEST_F(ReadBack, retries_from_the_query_after_a_failed_block_read) {
  put_handset_file("/gsm/rf/file", pattern(300));
  fault("silent:0x70/0x1A:2:1");
  EXPECT_EQ(read_back("file", "pc"), 0);
  EXPECT_EQ(fs_requests(0x0D).size(), 2u);
  EXPECT_EQ(block_read_counts(), (std::vector<int>{123, 123, 123, 123, 54}));
  EXPECT_EQ(read_pc_file("pc"), pattern(300));
  EXPECT_EQ(log(), std::vector<std::string>{"frd file pc, 300Bytes=> 0(2)"});
  EXPECT_GE(now(), 5000);
}

TEST_F(ReadBack, failing_every_attempt_leaves_an_empty_pc_file) {
  put_handset_file("/gsm/rf/file", pattern(10));
  write_pc_file("pc", pattern(10));
  fault("silent:0x70/0x08");
  EXPECT_EQ(read_back("file", "pc"), 100);
  EXPECT_EQ(fs_requests(0x0D).size(), 5u);
  EXPECT_EQ(read_pc_file("pc"), std::vector<std::uint8_t>{});
  EXPECT_EQ(log(), std::vector<std::string>{"frd file pc, 10Bytes=> 100(5)"});
}

TEST_F(ReadBack, fails_when_the_handset_sends_other_than_it_reported) {
  for (int surplus : {-1, 1}) {
    SCOPED_TRACE(surplus);
    put_handset_file("/gsm/rf/file", pattern(130));
    state().fs.block_read_surplus = surplus;
    EXPECT_EQ(read_back("file", "pc"), 100);
    EXPECT_EQ(read_pc_file("pc"), std::vector<std::uint8_t>{});
  }
}

TEST_F(ReadBack, fails_when_the_handset_reports_more_than_the_file_holds) {
  put_handset_file("/gsm/rf/file", pattern(200));
  state().fs.reported_size = 300;
  EXPECT_EQ(read_back("file", "pc"), 100);
  state().fs.reported_size = 3001;
  EXPECT_EQ(read_back("file", "pc"), 201);
  EXPECT_EQ(log().back(), "frd file pc, 3001Bytes=> 201(0)");
}

TEST_F(ReadBack, a_hang_up_during_the_block_reads_fails_the_command) {
  put_handset_file("/gsm/rf/file", pattern(500));
  fault("hang-up:0x70/0x1A:2:1");
  EXPECT_EQ(read_back("file", "pc"), 100);
  EXPECT_EQ(log(), std::vector<std::string>{"frd file pc, 500Bytes=> 100(5)"});
  EXPECT_EQ(read_pc_file("pc"), std::vector<std::uint8_t>{});
}

TEST_F(ReadBack, suffixes_every_pc_name_on_ports_one_and_two_only) {
  for (int port_number : {1, 2, 3, 8}) {
    SCOPED_TRACE(port_number);
    attach(port_number);
    put_handset_file("/gsm/rf/afcdac", bytes({1, 2}));
    const std::string suffix = port_number == 1 ? "_1" : port_number == 2 ? "_2" : "";
    EXPECT_EQ(read_back("afcdac", "other"), 0);
    EXPECT_EQ(pc_name_, "other" + suffix);
    EXPECT_EQ(read_pc_file("other" + suffix), bytes({1, 2}));
  }
}

TEST_F(ReadBack, refuses_bad_names_before_any_request) {
  put_handset_file("/gsm/rf/afcdac", bytes({1, 2}));
  // 34 characters of handset path.
  EXPECT_EQ(read_back("afcdac", "pc", "/gsm/rf/aaaaaaaaaaaaaaaaaaa"), fs::kStatusTextTooLong);
  attach(1);
  EXPECT_EQ(read_back("afcdac", std::string(18, 'n')), fs::kStatusNameTooLongForSuffix);
  EXPECT_EQ(pc_name_, std::string(18, 'n'));
  EXPECT_EQ(read_back("", "pc"), fs::kStatusMissingName);
  EXPECT_TRUE(requests().empty());
  EXPECT_EQ(log(), (std::vector<std::string>{
                       "frd afcdac pc  => 40 (0): handset path longer than 33 characters",
                       "frd afcdac nnnnnnnnnnnnnnnnnn  => 53 (0): PC file name too long for its "
                       "port suffix",
                       "frd  pc  => 56 (0): a handset file name and a PC file name are needed"}));
  EXPECT_TRUE(pc_files().empty());
}

TEST_F(ReadBack, takes_a_path_of_thirty_three_characters_and_a_long_name_without_suffix) {
  put_handset_file("/gsm/rf/aaaaaaaaaaaaaaaaaa/afcdac", bytes({1, 2}));
  EXPECT_EQ(read_back("afcdac", std::string(19, 'n'), "/gsm/rf/aaaaaaaaaaaaaaaaaa"), 0);
}

TEST_F(ReadBack, reports_a_pc_file_it_cannot_write) {
  put_handset_file("/gsm/rf/afcdac", bytes({1, 2}));
  EXPECT_EQ(read_back("afcdac", "nofolder/pc"), fs::kStatusPcFileNotWritten);
  EXPECT_EQ(log(),
            std::vector<std::string>{"frd afcdac nofolder/pc, 2Bytes=> 55(1): cannot write PC file "
                                     "\"nofolder/pc\""});
  EXPECT_TRUE(pc_files().empty());
}

TEST_F(ReadBack, a_write_that_the_disk_refuses_leaves_no_partial_file_and_fails) {
  put_handset_file("/gsm/rf/afcdac", pattern(200));
  // A file-size limit makes the write fail as a full disk does.
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = previous;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int status = read_back("afcdac", "pc");
  setrlimit(RLIMIT_FSIZE, &previous);
  EXPECT_EQ(status, fs::kStatusPcFileNotWritten);
  EXPECT_EQ(pc_files(), std::vector<std::string>{"pc"});  // no "pc.part"
  EXPECT_EQ(read_pc_file("pc"), std::vector<std::uint8_t>{});

  put_handset_file("/gsm/rf/afcdac", pattern(2));
  EXPECT_EQ(read_back("afcdac", "pc"), 0);
  EXPECT_EQ(pc_files(), std::vector<std::string>{"pc"});  // renamed into place
  EXPECT_EQ(read_pc_file("pc"), pattern(2));
}

TEST_F(ReadBack, a_pc_name_that_links_to_another_folder_is_replaced_never_written_through) {
  // A port's folder links to the station's files: a read-back must not reach
  // through the link into the file every port shares.
  write_pc_file("shared", pattern(5));
  std::filesystem::create_symlink("shared", "pc");
  fault("silent:0x70/0x0D");
  EXPECT_EQ(read_back("afcdac", "pc"), 100);
  EXPECT_FALSE(std::filesystem::is_symlink("pc"));
  EXPECT_EQ(read_pc_file("pc"), std::vector<std::uint8_t>{});
  EXPECT_EQ(read_pc_file("shared"), pattern(5));
}

// The IMEI backup.

TEST_F(ReadBack, backs_up_an_eight_byte_imei_under_the_port_name) {
  attach(1);
  put_handset_file("/gsm/IMEI", pattern(8));
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_EQ(IMEI_flag, 1);
  EXPECT_EQ(read_pc_file("IMEI_1"), pattern(8));
  EXPECT_EQ(log(), std::vector<std::string>{"frd IMEI IMEI, 8Bytes=> 0(1)"});
}

TEST_F(ReadBack, takes_an_imei_of_another_size_or_a_refusal_as_no_imei) {
  write_pc_file("IMEI", pattern(8, 9));
  IMEI_flag = 1;
  put_handset_file("/gsm/IMEI", pattern(10));
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_EQ(IMEI_flag, 0);
  EXPECT_EQ(pc_name_, "IMEI");

  IMEI_flag = 1;
  state().fs.files.clear();  // the handset refuses the query at every attempt
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_EQ(IMEI_flag, 0);

  EXPECT_EQ(requests().size(), 1u + 5u);
  EXPECT_TRUE(log().empty());
  EXPECT_EQ(read_pc_file("IMEI"), pattern(8, 9));
  EXPECT_EQ(pc_files(), std::vector<std::string>{"IMEI"});
}

TEST_F(ReadBack, one_refused_imei_query_is_retried_not_taken_for_a_missing_imei) {
  put_handset_file("/gsm/IMEI", pattern(8));
  fault("refuse:0x70/0x0D:1:1");
  IMEI_flag = 0;
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_EQ(IMEI_flag, 1);
  EXPECT_EQ(read_pc_file("IMEI"), pattern(8));
  EXPECT_EQ(log(), std::vector<std::string>{"frd IMEI IMEI, 8Bytes=> 0(2)"});
}

// A journal in memory: what the read-back tells it and asks of it.
class FakeKeeper final : public fs::ImeiKeeper {
 public:
  bool backed_up(const std::string& pc_file, std::span<const std::uint8_t> imei) override {
    backups.push_back({pc_file, std::vector<std::uint8_t>(imei.begin(), imei.end())});
    return writable;
  }
  int blocked(std::string* why) override {
    *why = "the run journal run-journal_3 is damaged";
    return untrusted ? fs::kStatusJournalNeedsEngineer : 0;
  }
  int formatting(std::string*) override { return writable ? 0 : fs::kStatusJournalNotWritten; }
  void written_back() override {}
  std::vector<fs::PendingImei> pending() override { return waiting; }
  std::string unit_serial() const override { return serial; }
  void pending_checked() override { checked = true; }
  void found_on_handset(const fs::PendingImei& p) override { found.push_back(p.run_uid); }
  fs::PendingAnswer ask(const fs::PendingImei& p,
                        const std::vector<fs::PendingImei>& candidates) override {
    asked.push_back(p.run_uid);
    asked_among = candidates.size();
    if (answers.empty()) return fs::PendingAnswer::kNoAnswer;
    const auto a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
  bool restore(const fs::PendingImei& p, const std::string& pc_file, fs::RestoreBy,
               std::string* why) override {
    restored.push_back(p.run_uid + " " + pc_file);
    if (!writable) *why = "cannot write the run journal";
    return writable;
  }
  std::optional<std::vector<std::uint8_t>> named_imei() const override { return named; }
  void keep_aside(const fs::PendingImei& p) override { kept_aside.push_back(p.run_uid); }

  bool writable = true;
  bool untrusted = false;
  bool checked = false;
  std::size_t asked_among = 0;
  std::string serial;
  std::optional<std::vector<std::uint8_t>> named;
  std::vector<fs::PendingImei> waiting;
  std::vector<fs::PendingAnswer> answers;
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> backups;
  std::vector<std::string> found, asked, restored, kept_aside;
};

fs::PendingImei pending_imei(const std::string& uid, std::vector<std::uint8_t> imei,
                             const std::string& unit = "") {
  fs::PendingImei p;
  p.run_uid = uid;
  p.unit_serial = unit;
  p.port = 3;
  p.imei = std::move(imei);
  p.pc_file = "IMEI";
  return p;
}

class PendingImeiReadBack : public ReadBack {
 protected:
  void SetUp() override {
    ReadBack::SetUp();
    imei.set_keeper(&keeper);
    link = wire::Link(3, &notice_log);
  }
  std::vector<std::string>& notices() { return notices_; }
  std::vector<std::string> notices_;
  wire::PanelRunLog notice_log{
      [this](const platform::OperatorText& text) { notices_.push_back(text.english()); }};
  std::vector<std::uint8_t> lost = bytes({1, 2, 3, 4, 5, 6, 7, 8});
  FakeKeeper keeper;
};

TEST_F(PendingImeiReadBack, an_imei_backed_up_by_a_finished_run_is_never_called_stranded) {
  write_pc_file("IMEI", pattern(8));  // an earlier, finished run's backup; the handset has none
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_TRUE(notices().empty());
  EXPECT_TRUE(keeper.asked.empty());
  EXPECT_EQ(IMEI_flag, 0);
  EXPECT_EQ(read_pc_file("IMEI"), pattern(8));  // left as it was
  EXPECT_TRUE(log().empty());                   // the run log's lines stay as they are
}

TEST_F(PendingImeiReadBack, the_journal_holds_the_imei_before_the_read_back_succeeds) {
  put_handset_file("/gsm/IMEI", pattern(8));
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  ASSERT_EQ(keeper.backups.size(), 1u);
  EXPECT_EQ(keeper.backups[0].first, "IMEI");
  EXPECT_EQ(keeper.backups[0].second, pattern(8));

  // A journal that cannot be written fails the read-back: no format may follow.
  keeper.writable = false;
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), fs::kStatusJournalNotWritten);
  EXPECT_EQ(IMEI_flag, 0);
  EXPECT_EQ(log().back(), "frd IMEI IMEI, 8Bytes=> 59(1): cannot write the run journal");
}

TEST_F(PendingImeiReadBack, the_same_handset_answering_with_the_pending_imei_settles_it) {
  put_handset_file("/gsm/IMEI", lost);
  keeper.waiting = {pending_imei("killed", lost)};
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_EQ(keeper.found, std::vector<std::string>{"killed"});
  EXPECT_TRUE(keeper.asked.empty());
  EXPECT_EQ(read_pc_file("IMEI"), lost);
}

TEST_F(PendingImeiReadBack, another_handset_keeps_its_own_imei_and_the_pending_one_waits) {
  put_handset_file("/gsm/IMEI", pattern(8));
  keeper.waiting = {pending_imei("killed", lost)};
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_TRUE(keeper.found.empty());
  EXPECT_TRUE(keeper.asked.empty());
  EXPECT_TRUE(keeper.kept_aside.empty());
  EXPECT_EQ(read_pc_file("IMEI"), pattern(8));  // this handset's backup
  ASSERT_EQ(notices().size(), 1u);
  EXPECT_NE(notices()[0].find("stays pending and waits for its handset"), std::string::npos);
}

TEST_F(PendingImeiReadBack, a_handset_without_imei_is_asked_about_newest_first) {
  // No answer: the line fails before any format, the PC file untouched.
  keeper.waiting = {pending_imei("newer", pattern(8)), pending_imei("older", lost)};
  write_pc_file("IMEI", lost);
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), fs::kStatusPendingImeiUnanswered);
  EXPECT_EQ(keeper.asked, std::vector<std::string>{"newer"});
  EXPECT_EQ(read_pc_file("IMEI"), lost);
  EXPECT_EQ(IMEI_flag, 0);
  EXPECT_NE(notices().back().find("--pending-imei restore"), std::string::npos);

  // Both are listed with the option that names one.
  EXPECT_NE(notices().back().find("2 IMEIs are pending"), std::string::npos) << notices().back();
  EXPECT_NE(notices().back().find("restore=HEX"), std::string::npos);
  EXPECT_NE(notices().back().find("0102030405060708"), std::string::npos);

  // No to the newer, yes to the older: the older becomes this run's backup.
  // With several pending, No only says it is not this handset: the newer
  // waits for its own, never kept aside on a guess.
  keeper.asked.clear();
  keeper.answers = {fs::PendingAnswer::kKeepAside, fs::PendingAnswer::kRestore};
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_EQ(keeper.asked, (std::vector<std::string>{"newer", "older"}));
  EXPECT_EQ(keeper.asked_among, 2u);
  EXPECT_TRUE(keeper.kept_aside.empty());
  EXPECT_EQ(keeper.restored, std::vector<std::string>{"older IMEI"});
  EXPECT_TRUE(keeper.checked);
  EXPECT_EQ(IMEI_flag, 1);
  EXPECT_EQ(read_pc_file("IMEI"), lost);
  ASSERT_TRUE(imei.read_back().has_value());
  EXPECT_EQ(*imei.read_back(), lost);

  // No to every one: the run goes on without an IMEI.
  keeper.answers = {fs::PendingAnswer::kKeepAside, fs::PendingAnswer::kKeepAside};
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_EQ(IMEI_flag, 0);
}

TEST_F(PendingImeiReadBack, a_failed_query_never_empties_a_pc_file_holding_a_pending_imei) {
  write_pc_file("IMEI", lost);
  keeper.waiting = {pending_imei("killed", lost)};
  fault("silent:0x70/0x0D");
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 100);
  EXPECT_EQ(read_pc_file("IMEI"), lost);
  EXPECT_TRUE(keeper.asked.empty());

  // Any other PC file is emptied by a failed read-back, as always.
  write_pc_file("IMEI", pattern(8));
  keeper.waiting = {pending_imei("killed", lost)};
  keeper.waiting[0].pc_file = "elsewhere";
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 100);
  EXPECT_EQ(read_pc_file("IMEI"), std::vector<std::uint8_t>{});
}

TEST_F(ReadBack, does_not_take_a_silent_or_garbled_line_for_a_missing_imei) {
  // The line stays dead after a hang-up, so it comes last.
  for (const std::string kind : {"silent", "wrong-id", "missing-end", "hang-up"}) {
    SCOPED_TRACE(kind);
    line.faults().clear();
    line.clear_requests();
    put_handset_file("/gsm/IMEI", pattern(8));
    fault(kind + ":0x70/0x0D");
    IMEI_flag = 1;
    EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 100);
    EXPECT_EQ(IMEI_flag, 0);
    // A dead line takes no more requests; the others see all five queries.
    EXPECT_EQ(fs_requests(0x0D).size(), kind == "hang-up" ? 1u : 5u);
    EXPECT_EQ(log().back(), "frd IMEI IMEI, 0Bytes=> 100(5)");
  }
}

TEST_F(ReadBack, a_refused_imei_line_takes_back_an_earlier_imei_flag) {
  // A flag of 1 from the handset before must not let this handset's
  // write-back run without a backup of its own.
  attach(1);
  put_handset_file("/gsm/IMEI", pattern(8));
  IMEI_flag = 1;
  EXPECT_EQ(read_back("IMEI", "IMEI_backup_longer", "/gsm"), fs::kStatusNameTooLongForSuffix);
  EXPECT_EQ(IMEI_flag, 0);
  IMEI_flag = 1;
  EXPECT_EQ(read_back("IMEI", "IMEI", "/a_directory_of_thirty_characters"), fs::kStatusTextTooLong);
  EXPECT_EQ(IMEI_flag, 0);
  IMEI_flag = 1;
  EXPECT_EQ(read_back("", "IMEI"), fs::kStatusMissingName);
  EXPECT_EQ(IMEI_flag, 0);
  EXPECT_TRUE(requests().empty());
}

TEST_F(ReadBack, keeps_asking_for_the_imei_after_a_silent_query) {
  put_handset_file("/gsm/IMEI", pattern(8));
  fault("silent:0x70/0x0D:1:2");
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_EQ(IMEI_flag, 1);
  EXPECT_EQ(read_pc_file("IMEI"), pattern(8));
  EXPECT_EQ(log(), std::vector<std::string>{"frd IMEI IMEI, 8Bytes=> 0(3)"});
}

TEST_F(ReadBack, imei_names_are_case_sensitive_and_may_run_on) {
  put_handset_file("/gsm/IMEI", pattern(10));
  EXPECT_EQ(read_back("IMEI", "imei", "/gsm"), 0);  // not an IMEI backup: read as any file
  EXPECT_EQ(read_pc_file("imei"), pattern(10));
  EXPECT_EQ(read_back("IMEI", "IMEI2", "/gsm"), 0);  // an IMEI backup: 10 bytes is none
  EXPECT_FALSE(read_pc_file("IMEI2"));
  EXPECT_EQ(log().size(), 1u);
}

TEST_F(ReadBack, an_imei_backup_survives_the_format_and_is_restored_and_compared) {
  attach(2);
  const auto identity = pattern(8, 0x35);
  put_handset_file("/gsm/IMEI", identity);
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  ASSERT_EQ(IMEI_flag, 1);

  state().fs = sim::FlashFs{};  // the format
  // A second read-back now finds no IMEI; the backup on the PC stays as it was.
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_EQ(IMEI_flag, 0);
  EXPECT_EQ(read_pc_file("IMEI_2"), identity);

  // Restored (as the download would) and compared against the backup.
  IMEI_flag = 1;
  put_handset_file("/gsm/IMEI", *read_pc_file("IMEI_2"));
  std::string pc_name = "IMEI";
  EXPECT_EQ(fs::comparefile(link, imei, "compare IMEI IMEI", "/gsm", "IMEI", pc_name), 0);
  EXPECT_EQ(pc_name, "IMEI_2");
  EXPECT_EQ(state().fs.files["/gsm/IMEI"], identity);
}

TEST_F(PendingImeiReadBack, a_scanned_serial_tells_the_handsets_of_pending_imeis_apart) {
  keeper.waiting = {pending_imei("other-unit", pattern(8), "SN2"),
                    pending_imei("this-unit", lost, "SN1")};
  keeper.serial = "SN1";
  // The unit's own pending IMEI goes back without a question.
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_TRUE(keeper.asked.empty());
  EXPECT_EQ(keeper.restored, std::vector<std::string>{"this-unit IMEI"});
  EXPECT_EQ(read_pc_file("IMEI"), lost);
  EXPECT_EQ(IMEI_flag, 1);
  EXPECT_TRUE(keeper.checked);

  // A serial that matches none: another unit, blank; every pending IMEI waits.
  keeper.restored.clear();
  keeper.checked = false;
  keeper.serial = "SN3";
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_TRUE(keeper.asked.empty());
  EXPECT_TRUE(keeper.restored.empty());
  EXPECT_TRUE(keeper.kept_aside.empty());
  EXPECT_EQ(IMEI_flag, 0);
  EXPECT_TRUE(keeper.checked);

  // A pending IMEI whose run scanned no serial may still be this handset's.
  keeper.waiting.push_back(pending_imei("unknown-unit", pattern(8, 3)));
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), fs::kStatusPendingImeiUnanswered);
  EXPECT_EQ(keeper.asked, std::vector<std::string>{"unknown-unit"});
  EXPECT_EQ(keeper.asked_among, 1u);
}

TEST_F(PendingImeiReadBack, a_torn_imei_file_is_asked_about_like_a_missing_one) {
  for (const std::size_t size : {0u, 4u}) {
    SCOPED_TRACE(size);
    put_handset_file("/gsm/IMEI", pattern(size));
    keeper.waiting = {pending_imei("killed", lost)};
    keeper.asked.clear();
    EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), fs::kStatusPendingImeiUnanswered);
    EXPECT_EQ(keeper.asked, std::vector<std::string>{"killed"});
    EXPECT_FALSE(keeper.checked);
  }
  // Yes: the torn file's handset gets the pending IMEI as this run's backup.
  keeper.answers = {fs::PendingAnswer::kRestore};
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_EQ(read_pc_file("IMEI"), lost);
  EXPECT_EQ(IMEI_flag, 1);
}

TEST_F(PendingImeiReadBack, a_journal_that_cannot_be_trusted_stops_the_read_back_before_a_query) {
  put_handset_file("/gsm/IMEI", pattern(8));
  keeper.untrusted = true;
  IMEI_flag = 1;
  EXPECT_EQ(read_back("IMEI", "IMEI", "/gsm"), fs::kStatusJournalNeedsEngineer);
  EXPECT_EQ(IMEI_flag, 0);
  EXPECT_TRUE(requests().empty());
  EXPECT_NE(log().back().find("=> 62 (0)"), std::string::npos) << log().back();
}
