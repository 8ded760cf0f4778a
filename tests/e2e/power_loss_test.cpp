// Runs of the example station's main script killed where nothing can be
// caught (SIGKILL stands for a power cut) in the pause after the format, and
// what the next runs in the same station folder do: no handset loses its
// IMEI, none gets another's, and no run with an IMEI missing ends green.
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "e2e/power_loss_fixture.h"

using namespace power_loss;

TEST_F(PowerLoss, the_same_handset_gets_its_imei_back_and_the_killed_run_is_recorded) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  ASSERT_TRUE(a.started());
  kill_in_format_pause(a);

  // Without an answer the run stops before any format, and says how to answer.
  const e2e::RunResult unanswered = run(a);
  EXPECT_EQ(unanswered.exit_code, 1) << unanswered.err;
  EXPECT_TRUE(contains(unanswered.out, "frd IMEI IMEI  => 61 (0)")) << unanswered.out;
  EXPECT_FALSE(contains(unanswered.out, "mkfs")) << unanswered.out;
  EXPECT_TRUE(contains(unanswered.err, "--pending-imei restore")) << unanswered.err;
  EXPECT_TRUE(contains(unanswered.err, "--pending-imei keep-aside")) << unanswered.err;
  EXPECT_EQ(read(station / "IMEI"), kImeiA);

  const e2e::RunResult restored = run(a, {"--pending-imei", "restore"});
  EXPECT_EQ(restored.exit_code, 0) << restored.err;
  EXPECT_TRUE(contains(restored.out, "fwr IMEI IMEI , 8bytes => 0 (1)")) << restored.out;
  EXPECT_EQ(read(a.stop() / "IMEI"), kImeiA);

  const auto report =
      e2e::run_ffsload({"report", "--interrupted", "--records", "loss.sqlite"}, station.string());
  EXPECT_EQ(report.exit_code, 0) << report.err;
  EXPECT_TRUE(contains(report.out,
                       "5302991047654"
                       "3f1  restored"))
      << report.out;
  const auto counts =
      e2e::run_ffsload({"report", "--csv", "--records", "loss.sqlite"}, station.string());
  // Three runs that day: the killed one among them, counted as interrupted.
  EXPECT_TRUE(contains(counts.out, ",3,1,")) << counts.out;
  EXPECT_TRUE(counts.out.ends_with(",1\n")) << counts.out;
}

TEST_F(PowerLoss, another_handset_keeps_its_own_and_the_pending_imei_waits_for_its_own) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  Handset b(work, "b", work / "load-b");
  ASSERT_TRUE(a.started() && b.started());
  kill_in_format_pause(a);

  const e2e::RunResult other = run(b);
  EXPECT_EQ(other.exit_code, 0) << other.err;
  EXPECT_TRUE(contains(other.err, "stays pending and waits for its handset")) << other.err;
  EXPECT_EQ(read(b.stop() / "IMEI"), kImeiB);
  EXPECT_EQ(read(station / "IMEI"), kImeiB);  // B's backup; A's lives in the journal

  const e2e::RunResult back = run(a, {"--pending-imei", "restore"});
  EXPECT_EQ(back.exit_code, 0) << back.err;
  EXPECT_EQ(read(a.stop() / "IMEI"), kImeiA);
}

TEST_F(PowerLoss, a_handset_without_imei_told_apart_gets_none_and_the_imei_is_kept_aside) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  Handset c(work, "c", work / "load-c");
  ASSERT_TRUE(a.started() && c.started());
  kill_in_format_pause(a);

  const e2e::RunResult other = run(c, {"--pending-imei", "keep-aside"});
  EXPECT_EQ(other.exit_code, 0) << other.err;
  EXPECT_TRUE(contains(other.err, "is kept aside")) << other.err;
  EXPECT_FALSE(stdfs::exists(c.stop() / "IMEI"));

  // Kept aside for good: a later handset without IMEI is not asked about it.
  const e2e::RunResult later = run(a);
  EXPECT_EQ(later.exit_code, 0) << later.err;
  EXPECT_FALSE(contains(later.err, "pending")) << later.err;
  const auto report =
      e2e::run_ffsload({"report", "--interrupted", "--records", "loss.sqlite"}, station.string());
  EXPECT_TRUE(contains(report.out, "53029910476543f1  kept aside")) << report.out;
}

TEST_F(PowerLoss, a_lost_reply_on_the_re_run_fails_it_and_leaves_the_pending_imei_whole) {
  stdfs::path flash;
  {
    Handset a(work, "a", e2e::examples_dir() + "/handset");
    ASSERT_TRUE(a.started());
    kill_in_format_pause(a);
    flash = a.stop();
  }
  stdfs::rename(flash, work / "formatted");
  {
    // The same handset, formatted and without IMEI, loses one reply to the query.
    Handset again(work, "again", work / "formatted", {"--fault", "silent:0x70/0x0D:1:1"});
    ASSERT_TRUE(again.started());
    const e2e::RunResult lost = run(again, {"--pending-imei", "restore"});
    EXPECT_EQ(lost.exit_code, 1) << lost.err;
    EXPECT_TRUE(contains(lost.out, "frd IMEI IMEI, 0Bytes=> 100(5)")) << lost.out;
    EXPECT_EQ(read(station / "IMEI"), kImeiA);  // never emptied

    const e2e::RunResult restored = run(again, {"--pending-imei", "restore"});
    EXPECT_EQ(restored.exit_code, 0) << restored.err;
    EXPECT_EQ(read(again.stop() / "IMEI"), kImeiA);
  }
}

TEST_F(PowerLoss, a_finished_runs_backup_is_never_called_pending) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  Handset c(work, "c", work / "load-c");
  ASSERT_TRUE(a.started() && c.started());
  EXPECT_EQ(run(a).exit_code, 0);
  const e2e::RunResult next = run(c);
  EXPECT_EQ(next.exit_code, 0) << next.err;
  EXPECT_FALSE(contains(next.err, "pending")) << next.err;
  EXPECT_FALSE(contains(next.err, "only on the PC")) << next.err;
}

TEST_F(PowerLoss, the_repeat_mode_asks_at_the_terminal_and_a_blind_enter_gives_nothing) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  ASSERT_TRUE(a.started());
  kill_in_format_pause(a);

  e2e::FfsloadProcess tool;
  ASSERT_TRUE(tool.start(run_args(a, {"--repeat"}), station.string()));
  tool.type("\n");  // a blind Enter: asked again, nothing decided
  tool.type("yes\n");
  ASSERT_TRUE(tool.wait_for_line("run 1: green"));
  tool.type("q\n");
  const e2e::RunResult r = tool.finish();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  // The question came twice: once for the blind Enter, once answered.
  const std::string question = "Is this that handset?";
  const auto first = r.err.find(question);
  ASSERT_NE(first, std::string::npos) << r.err;
  EXPECT_NE(r.err.find(question, first + 1), std::string::npos) << r.err;
  EXPECT_EQ(read(a.stop() / "IMEI"), kImeiA);
}
