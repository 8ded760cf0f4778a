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

TEST_F(Journal,
       a_torn_or_damaged_line_stays_until_an_engineer_resolves_it_and_never_joins_the_next) {
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

  // Tidying rewrites the healthy part and never drops a damaged line: it
  // may be a pending IMEI.
  ASSERT_TRUE(reread.compact(0));
  RunJournal still(path);
  ASSERT_TRUE(still.load());
  EXPECT_EQ(still.damaged().size(), 2u);
  EXPECT_NE(text_of(path).find("format a *123\n"), std::string::npos);

  // The damaged line was the IMEI line of a run that never ended: the
  // resolution keeps its IMEI pending rather than reading it as never formatted.
  std::string damaged_file;
  std::vector<std::string> repaired;
  ASSERT_TRUE(still.resolve_damaged("ffsload pending by eng", &damaged_file, &repaired));
  EXPECT_EQ(repaired, std::vector<std::string>{"a"});
  EXPECT_EQ(damaged_file, path + ".damaged");
  EXPECT_NE(text_of(path).find("resolved 2 ffsload%20pending%20by%20eng"), std::string::npos);
  const std::string kept = text_of(damaged_file);
  EXPECT_NE(kept.find("format a *123"), std::string::npos);
  EXPECT_NE(kept.find("XMEI"), std::string::npos);
  RunJournal clean(path);
  ASSERT_TRUE(clean.load());
  EXPECT_TRUE(clean.damaged().empty());
  ASSERT_TRUE(clean.find("a") && clean.find("a")->imei_pending());
  EXPECT_EQ(*clean.find("a")->imei, kImei);
  EXPECT_NE(clean.find("a")->repaired_note.find("by eng"), std::string::npos);

  // An engineer's keep-aside can be taken back: pending again, with who and why.
  ASSERT_TRUE(clean.settled("a", ImeiFate::kKeptAside, "eng"));
  ASSERT_TRUE(clean.reopened("a", "eng: pressed No by mistake"));
  RunJournal back(path);
  ASSERT_TRUE(back.load());
  EXPECT_TRUE(back.find("a")->imei_pending());
  EXPECT_EQ(back.find("a")->reopened_note, "eng: pressed No by mistake");
}

TEST_F(Journal, compaction_keeps_what_is_open_pending_kept_aside_or_unqueued_and_drops_the_rest) {
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
  // End messages that found no room wait, whatever bytes they hold; once
  // queued they are let go.
  const std::string end = "{\"lines\":[[1,0,\"tms 1 * 100%\"]]}\n\xC3\xA9";
  ASSERT_TRUE(journal.ended("done0", "green"));
  ASSERT_TRUE(journal.unqueued("done1", end));
  ASSERT_TRUE(journal.unqueued("done2", end));
  ASSERT_TRUE(journal.queued("done2"));
  EXPECT_FALSE(journal.unqueued("done3", ""));

  const auto before = std::filesystem::file_size(path);
  ASSERT_TRUE(journal.compact(1024));
  EXPECT_LT(std::filesystem::file_size(path), before / 5);
  RunJournal reread(path);
  ASSERT_TRUE(reread.load());
  EXPECT_TRUE(reread.damaged().empty());
  ASSERT_EQ(reread.runs().size(), 4u);
  EXPECT_EQ(reread.find("done1")->unqueued_end, end);
  EXPECT_FALSE(reread.find("done1")->open());
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

TEST_F(Journal, a_run_keeps_its_identity_and_crlf_line_ends_read_as_written) {
  JournalRun r = run_named("a");
  r.unit_serial = "SN 0042";
  r.operator_id = "op-7";
  r.attempt = 2;
  r.fixture = "/dev/ffsload-fixture3";
  r.front_end = "grid";
  {
    RunJournal journal(path);
    ASSERT_TRUE(journal.load());
    ASSERT_TRUE(journal.started(r));
    ASSERT_TRUE(journal.backed_up("a", kImei, "/station/ports/3/IMEI"));
    ASSERT_TRUE(journal.formatting("a"));
  }
  // An editor saved it with CR LF.
  std::string text = text_of(path), crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << crlf;

  RunJournal journal(path);
  ASSERT_TRUE(journal.load());
  EXPECT_TRUE(journal.damaged().empty());
  const JournalRun* back = journal.find("a");
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->imei_pending());
  EXPECT_EQ(back->unit_serial, "SN 0042");
  EXPECT_EQ(back->operator_id, "op-7");
  EXPECT_EQ(back->attempt, 2);
  EXPECT_EQ(back->fixture, "/dev/ffsload-fixture3");
  EXPECT_EQ(back->front_end, "grid");

  // A journal of the first kind (a start line of ten fields) still reads.
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      << "start b 1700000000000 3 dev 1 main.tms - line-1 1.0 *" <<
      [] {
        std::uint32_t h = 2166136261u;
        for (unsigned char c : std::string("start b 1700000000000 3 dev 1 main.tms - line-1 1.0")) {
          h ^= c;
          h *= 16777619u;
        }
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", h);
        return std::string(hex);
      }()
      << "\n";
  RunJournal old(path);
  ASSERT_TRUE(old.load());
  EXPECT_TRUE(old.damaged().empty());
  ASSERT_NE(old.find("b"), nullptr);
  EXPECT_EQ(old.find("b")->customer, "1");
  EXPECT_TRUE(old.find("b")->unit_serial.empty());
}

TEST_F(Journal, a_journal_an_older_ffsload_kept_in_the_port_folder_is_taken_in_not_dropped) {
  const std::string old_path = station::old_journal_path(".", 3);
  std::filesystem::create_directories("ports/3");
  {
    RunJournal old(old_path);
    ASSERT_TRUE(old.load());
    ASSERT_TRUE(old.started(run_named("grid-run")));
    ASSERT_TRUE(old.backed_up("grid-run", kImei, "IMEI"));
    ASSERT_TRUE(old.formatting("grid-run"));
  }
  std::ofstream(old_path, std::ios::app) << "imei grid-run 00 IMEI *deadbeef\n";  // damaged

  RunJournal journal(path);
  ASSERT_TRUE(journal.lock());
  ASSERT_TRUE(journal.load());
  ASSERT_TRUE(journal.started(run_named("here")));
  ASSERT_TRUE(journal.absorb(old_path));
  ASSERT_NE(journal.find("grid-run"), nullptr);
  EXPECT_TRUE(journal.find("grid-run")->imei_pending());
  EXPECT_EQ(journal.damaged().size(), 1u);  // still damaged, now here
  EXPECT_FALSE(std::filesystem::exists(old_path));
  EXPECT_TRUE(std::filesystem::exists(old_path + ".moved"));
  // Nothing there any more: nothing to do, and nothing taken in twice.
  ASSERT_TRUE(journal.absorb(old_path));
  RunJournal reread(path);
  ASSERT_TRUE(reread.load());
  EXPECT_EQ(reread.runs().size(), 2u);
}
