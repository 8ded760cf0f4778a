#include "station/run_journal.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace {

using station::ImeiFate;
using station::JournalRun;
using station::RunJournal;
using testing_support::TempDir;

const std::vector<std::uint8_t> kImei{0x53, 0x02, 0x99, 0x10, 0x47, 0x65, 0x43, 0xF1};

JournalRun run_named(const std::string& uid) {
  JournalRun r;
  r.uid = uid;
  r.started_at_ms = 1'700'000'000'000;
  r.port = 3;
  r.device = "/dev/serial/by-id/usb FTDI";  // a space must not split the line
  r.customer = "4.1";
  r.script = "main.tms";
  r.ma_no = "ORD\xC4NDERT -";  // any byte of a station file
  r.station = "line-1";
  r.tool_version = "1.0";
  return r;
}

std::string text_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class Journal : public ::testing::Test {
 protected:
  TempDir dir;
  const std::string path = station::journal_file_name(3);
};

}  // namespace

TEST_F(Journal, a_killed_run_reads_back_as_open_with_its_imei_pending) {
  {
    RunJournal journal(path);
    ASSERT_TRUE(journal.load());
    ASSERT_TRUE(journal.started(run_named("a")));
    ASSERT_TRUE(journal.backed_up("a", kImei, "IMEI"));
    ASSERT_TRUE(journal.formatting("a"));
    // No end: the process died here.
  }
  RunJournal journal(path);
  ASSERT_TRUE(journal.load());
  EXPECT_TRUE(journal.damaged().empty());
  const JournalRun* r = journal.find("a");
  ASSERT_NE(r, nullptr);
  EXPECT_TRUE(r->open());
  EXPECT_TRUE(r->imei_pending());
  EXPECT_EQ(*r->imei, kImei);
  EXPECT_EQ(r->device, "/dev/serial/by-id/usb FTDI");
  EXPECT_EQ(r->ma_no, "ORD\xC4NDERT -");
  EXPECT_EQ(r->started_at_ms, 1'700'000'000'000);

  // Only a write-back or an answer ends the pending state; an end does not.
  ASSERT_TRUE(journal.interrupted("a"));
  EXPECT_TRUE(journal.find("a")->imei_pending());
  ASSERT_TRUE(journal.written_back("a"));
  EXPECT_FALSE(journal.find("a")->imei_pending());
}

TEST_F(Journal, each_answer_settles_a_pending_imei_for_good) {
  RunJournal journal(path);
  ASSERT_TRUE(journal.load());
  for (const std::string uid : {"restored", "aside"}) {
    ASSERT_TRUE(journal.started(run_named(uid)));
    ASSERT_TRUE(journal.backed_up(uid, kImei, "IMEI"));
    ASSERT_TRUE(journal.formatting(uid));
  }
  ASSERT_TRUE(journal.settled("restored", ImeiFate::kRestored));
  ASSERT_TRUE(journal.settled("aside", ImeiFate::kKeptAside));
  RunJournal again(path);
  ASSERT_TRUE(again.load());
  EXPECT_FALSE(again.find("restored")->imei_pending());
  EXPECT_EQ(again.find("aside")->fate, ImeiFate::kKeptAside);
  // A backup that was never formatted away is not at risk.
  ASSERT_TRUE(again.started(run_named("safe")));
  ASSERT_TRUE(again.backed_up("safe", kImei, "IMEI"));
  EXPECT_FALSE(again.find("safe")->imei_pending());
}

TEST_F(Journal, a_torn_or_damaged_line_is_reported_kept_aside_and_never_joins_the_next) {
  {
    RunJournal journal(path);
    ASSERT_TRUE(journal.load());
    ASSERT_TRUE(journal.started(run_named("a")));
    ASSERT_TRUE(journal.backed_up("a", kImei, "IMEI"));
  }
  // A power cut in the middle of a write, and a changed byte elsewhere.
  std::string text = text_of(path);
  text[text.find("IMEI")] = 'X';
  text += "format a *123";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;

  RunJournal journal(path);
  ASSERT_TRUE(journal.load());
  EXPECT_EQ(journal.damaged().size(), 2u);
  ASSERT_TRUE(journal.formatting("a"));  // the torn line keeps its own line
  RunJournal reread(path);
  ASSERT_TRUE(reread.load());
  EXPECT_EQ(reread.damaged().size(), 2u);
  ASSERT_NE(reread.find("a"), nullptr);

  std::string damaged_file;
  ASSERT_TRUE(reread.compact(1 << 20, &damaged_file));
  EXPECT_EQ(damaged_file, path + ".damaged");
  const std::string kept = text_of(damaged_file);
  EXPECT_NE(kept.find("format a *123"), std::string::npos);
  EXPECT_NE(kept.find("XMEI"), std::string::npos);
  RunJournal clean(path);
  ASSERT_TRUE(clean.load());
  EXPECT_TRUE(clean.damaged().empty());
}

TEST_F(Journal, compaction_keeps_what_is_open_pending_or_kept_aside_and_drops_the_rest) {
  RunJournal journal(path);
  ASSERT_TRUE(journal.load());
  for (int i = 0; i < 40; ++i) {
    const std::string uid = "done" + std::to_string(i);
    ASSERT_TRUE(journal.started(run_named(uid)));
    ASSERT_TRUE(journal.backed_up(uid, kImei, "IMEI"));
    ASSERT_TRUE(journal.formatting(uid));
    ASSERT_TRUE(journal.written_back(uid));
    ASSERT_TRUE(journal.ended(uid, "green"));
  }
  ASSERT_TRUE(journal.started(run_named("pending")));
  ASSERT_TRUE(journal.backed_up("pending", kImei, "IMEI"));
  ASSERT_TRUE(journal.formatting("pending"));
  ASSERT_TRUE(journal.interrupted("pending"));
  ASSERT_TRUE(journal.started(run_named("aside")));
  ASSERT_TRUE(journal.backed_up("aside", kImei, "IMEI"));
  ASSERT_TRUE(journal.formatting("aside"));
  ASSERT_TRUE(journal.settled("aside", ImeiFate::kKeptAside));
  ASSERT_TRUE(journal.started(run_named("open")));

  const auto before = std::filesystem::file_size(path);
  ASSERT_TRUE(journal.compact(1024, nullptr));
  EXPECT_LT(std::filesystem::file_size(path), before / 5);
  RunJournal reread(path);
  ASSERT_TRUE(reread.load());
  ASSERT_EQ(reread.runs().size(), 3u);
  EXPECT_TRUE(reread.find("pending")->imei_pending());
  EXPECT_EQ(reread.find("aside")->fate, ImeiFate::kKeptAside);
  EXPECT_TRUE(reread.find("open")->open());
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

TEST_F(Journal, a_link_in_its_place_or_a_second_process_is_refused) {
  std::ofstream("elsewhere") << "station file\n";
  ASSERT_EQ(::symlink("elsewhere", path.c_str()), 0);
  RunJournal linked(path);
  EXPECT_FALSE(linked.load());
  EXPECT_FALSE(linked.started(run_named("a")));
  EXPECT_EQ(text_of("elsewhere"), "station file\n");
  ::unlink(path.c_str());

  RunJournal first(path);
  ASSERT_TRUE(first.lock());
  // flock belongs to the open file: another open in this process stands for
  // another process on the same port.
  RunJournal second(path);
  EXPECT_FALSE(second.lock());
  EXPECT_NE(second.error().find("in use by another run"), std::string::npos) << second.error();
}

TEST_F(Journal, a_full_disk_fails_the_note_instead_of_pretending) {
  // A file-size limit of nothing stands in for a full disk.
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit none = old;
  none.rlim_cur = 0;
  ::setrlimit(RLIMIT_FSIZE, &none);
  RunJournal journal(path);
  const bool written = journal.started(run_named("a"));
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_FALSE(journal.error().empty());
}
