// Runs killed in the pause after the format, and the next runs on the same
// port and station folder when no guess may decide an IMEI: two pending on
// one port, a kill under one front end and a re-run under another, a
// damaged or CR LF journal, a torn IMEI file, a unit killed before its
// first record copy, two runs started together on one port number.
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "e2e/power_loss_fixture.h"

using namespace power_loss;

namespace {

const std::string kHexA = "53029910476543f1";
const std::string kHexB = "3520112233445566";

// The station's comports names port 3's device, as run --ports needs it.
void name_port_device(const stdfs::path& station, const std::string& device) {
  std::ofstream(station / "comports", std::ios::trunc) << "3 " << device << "\n";
}

}  // namespace

TEST_F(PowerLoss, two_pending_imeis_on_one_port_go_back_to_their_own_handsets) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  Handset b(work, "b", work / "load-b");
  ASSERT_TRUE(a.started() && b.started());
  kill_in_format_pause(a);
  kill_in_format_pause(b, {"--pending-imei", "keep-aside"});  // B has its own: no question

  // A bare answer would pick one of two blindly: refused before any format,
  // with both listed and the form that names one.
  const e2e::RunResult blind = run(a, {"--pending-imei", "restore"});
  EXPECT_EQ(blind.exit_code, 1) << blind.err;
  EXPECT_TRUE(contains(blind.out, "=> 61 (0)")) << blind.out;
  EXPECT_FALSE(contains(blind.out, "mkfs")) << blind.out;
  EXPECT_TRUE(contains(blind.err, kHexA) && contains(blind.err, kHexB)) << blind.err;
  EXPECT_TRUE(contains(blind.err, "restore=HEX")) << blind.err;

  // An IMEI that is not pending here is a mistake: no run at all.
  const e2e::RunResult wrong = run(a, {"--pending-imei", "restore=0000000000000000"});
  EXPECT_EQ(wrong.exit_code, 2) << wrong.err;

  const e2e::RunResult named = run(a, {"--pending-imei", "restore=" + kHexA});
  EXPECT_EQ(named.exit_code, 0) << named.err;
  EXPECT_EQ(read(a.stop() / "IMEI"), kImeiA);
  // One left: the bare answer is no guess any more.
  const e2e::RunResult last = run(b, {"--pending-imei", "restore"});
  EXPECT_EQ(last.exit_code, 0) << last.err;
  EXPECT_EQ(read(b.stop() / "IMEI"), kImeiB);
  const auto report =
      e2e::run_ffsload({"report", "--interrupted", "--records", "loss.sqlite"}, station.string());
  EXPECT_TRUE(contains(report.out, kHexA + "  restored")) << report.out;
  EXPECT_TRUE(contains(report.out, kHexB + "  restored")) << report.out;
}

TEST_F(PowerLoss, a_scanned_serial_gives_each_handset_its_own_without_a_question) {
  // Two blank-after-format handsets: A and B killed one after the other.
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  Handset b(work, "b", work / "load-b");
  ASSERT_TRUE(a.started() && b.started());
  kill_in_format_pause(a, {"--unit", "SN-A"});
  kill_in_format_pause(b, {"--unit", "SN-B"});

  // B comes back first, then A, each scanned: no option, no question.
  const e2e::RunResult rb = run(b, {"--unit", "SN-B"});
  EXPECT_EQ(rb.exit_code, 0) << rb.err;
  const e2e::RunResult ra = run(a, {"--unit", "SN-A"});
  EXPECT_EQ(ra.exit_code, 0) << ra.err;
  EXPECT_EQ(read(b.stop() / "IMEI"), kImeiB);
  EXPECT_EQ(read(a.stop() / "IMEI"), kImeiA);

  // The killed runs kept their units: two units, each on its second attempt.
  const auto report =
      e2e::run_ffsload({"report", "--interrupted", "--records", "loss.sqlite"}, station.string());
  EXPECT_TRUE(contains(report.out, "SN-A  " + kHexA + "  restored")) << report.out;
  EXPECT_TRUE(contains(report.out, "SN-B  " + kHexB + "  restored")) << report.out;
}

TEST_F(PowerLoss, a_kill_under_one_front_end_is_asked_about_under_the_other) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  ASSERT_TRUE(a.started());
  name_port_device(station, a.device());
  const std::vector<std::string> ports = {"run",      "--ports",   "3",          "--script",
                                          "main.tms", "--records", "loss.sqlite"};
  // Killed under run --ports (its journal in the station folder, not ports/3).
  kill_in_format_pause(a, {}, ports);
  EXPECT_FALSE(stdfs::exists(station / "ports/3/run-journal_3"));
  const e2e::RunResult single = run(a);
  EXPECT_EQ(single.exit_code, 1) << single.err;
  EXPECT_TRUE(contains(single.out, "=> 61 (0)")) << single.out;
  EXPECT_FALSE(contains(single.out, "mkfs")) << single.out;

  // And the other way: killed under run --port, asked under run --ports.
  EXPECT_EQ(run(a, {"--pending-imei", "restore"}).exit_code, 0);
  kill_in_format_pause(a);
  const e2e::RunResult many = e2e::run_ffsload(ports, station.string());
  EXPECT_EQ(many.exit_code, 1) << many.err;
  EXPECT_TRUE(contains(many.out, "[3] frd IMEI IMEI  => 61 (0)")) << many.out;
  EXPECT_FALSE(contains(many.out, "mkfs")) << many.out;
  EXPECT_EQ(e2e::run_ffsload({"run", "--ports", "3", "--script", "main.tms", "--records",
                              "loss.sqlite", "--pending-imei", "restore"},
                             station.string())
                .exit_code,
            0);
  EXPECT_EQ(read(a.stop() / "IMEI"), kImeiA);
}

TEST_F(PowerLoss, an_older_stations_port_folder_journal_is_found_not_dropped) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  ASSERT_TRUE(a.started());
  kill_in_format_pause(a);
  // Where an older ffsload's run --ports kept it.
  stdfs::create_directories(station / "ports/3");
  stdfs::rename(station / "run-journal_3", station / "ports/3/run-journal_3");
  const e2e::RunResult next = run(a);
  EXPECT_EQ(next.exit_code, 1) << next.err;
  EXPECT_TRUE(contains(next.out, "=> 61 (0)")) << next.out;
  EXPECT_TRUE(stdfs::exists(station / "ports/3/run-journal_3.moved"));
}

TEST_F(PowerLoss, a_damaged_journal_stops_every_format_until_an_engineer_resolves_it) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  Handset c(work, "c", work / "load-c");
  ASSERT_TRUE(a.started() && c.started());
  kill_in_format_pause(a);

  // CR LF line ends are no damage: the pending IMEI is still asked about.
  std::string text = read(station / "run-journal_3"), crlf;
  for (char ch : text) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  std::ofstream(station / "run-journal_3", std::ios::binary | std::ios::trunc) << crlf;
  const e2e::RunResult asked = run(c);
  EXPECT_TRUE(contains(asked.out, "=> 61 (0)")) << asked.out;

  // One flipped bit in the imei line: no read-back, no format, whatever the handset.
  text = read(station / "run-journal_3");
  const auto at = text.find("\nimei ") + 10;
  text[at] = static_cast<char>(text[at] ^ 0x01);
  std::ofstream(station / "run-journal_3", std::ios::binary | std::ios::trunc) << text;
  const e2e::RunResult stopped = run(c, {"--pending-imei", "keep-aside"});
  EXPECT_EQ(stopped.exit_code, 1) << stopped.err;
  EXPECT_TRUE(contains(stopped.out, "frd IMEI IMEI  => 62 (0)")) << stopped.out;
  EXPECT_FALSE(contains(stopped.out, "mkfs")) << stopped.out;
  EXPECT_TRUE(contains(stopped.err, "run-journal_3")) << stopped.err;

  // A damaged line is shown, never obeyed: no escape reaches the terminal.
  std::ofstream(station / "run-journal_3", std::ios::binary | std::ios::app)
      << "\x1b[2J\x1b[Hall ports OK\n";
  const auto listed = e2e::run_ffsload({"pending"}, station.string());
  EXPECT_EQ(listed.exit_code, 0) << listed.err;
  EXPECT_TRUE(contains(listed.out, "damaged")) << listed.out;
  EXPECT_TRUE(contains(listed.out, "\\x1b[2J\\x1b[Hall ports OK")) << listed.out;
  EXPECT_FALSE(contains(listed.out, "\x1b")) << listed.out;
  const auto resolved = e2e::run_ffsload(
      {"pending", "--port", "3", "--resolve-damaged", "--by", "eng"}, station.string());
  EXPECT_EQ(resolved.exit_code, 0) << resolved.err;
  EXPECT_TRUE(contains(read(station / "run-journal_3.damaged"), "imei ")) << resolved.out;
  // The damaged line was the IMEI line of a run that never ended: its IMEI
  // stays pending, named by the resolution, and the port reads IMEIs again.
  EXPECT_TRUE(contains(resolved.out, kHexA + " of the run at")) << resolved.out;
  const e2e::RunResult again = run(c);
  EXPECT_TRUE(contains(again.out, "frd IMEI IMEI  => 61 (0)")) << again.out;
}

TEST_F(PowerLoss, a_torn_imei_file_is_asked_about_never_formatted_silently) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  ASSERT_TRUE(a.started());
  kill_in_format_pause(a);
  for (const std::size_t size : {0u, 4u}) {
    SCOPED_TRACE(size);
    const stdfs::path load = work / ("load-torn" + std::to_string(size));
    stdfs::copy(e2e::examples_dir() + "/handset", load, stdfs::copy_options::recursive);
    std::ofstream(load / "IMEI", std::ios::binary | std::ios::trunc) << kImeiA.substr(0, size);
    Handset torn(work, "torn" + std::to_string(size), load);
    ASSERT_TRUE(torn.started());
    const e2e::RunResult r = run(torn);
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_TRUE(contains(r.out, "frd IMEI IMEI  => 61 (0)")) << r.out;
    EXPECT_FALSE(contains(r.out, "mkfs")) << r.out;
  }
}

TEST_F(PowerLoss, a_unit_killed_before_its_first_record_copy_keeps_its_identity) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  ASSERT_TRUE(a.started());
  {
    e2e::FfsloadProcess tool;
    ASSERT_TRUE(tool.start(run_args(a, {"--unit", "SN-7", "--operator", "op1"}), station.string()));
    ASSERT_TRUE(tool.wait_for_line("frd IMEI IMEI"));
    usleep(200'000);
    testing_support::kill_process_tree(tool.pid());
    tool.finish();
  }
  const e2e::RunResult back = run(a, {"--unit", "SN-7", "--operator", "op1"});
  EXPECT_EQ(back.exit_code, 0) << back.err;
  EXPECT_TRUE(contains(back.err, "attempt 2")) << back.err;
  EXPECT_EQ(read(a.stop() / "IMEI"), kImeiA);
  // One unit, failed on its first attempt, green on its second.
  const auto csv = e2e::run_ffsload(
      {"report", "--csv", "--by", "operator", "--records", "loss.sqlite"}, station.string());
  EXPECT_TRUE(contains(csv.out, "op1,2,1,1,1,0,0.0,1,100.0,")) << csv.out;
}

TEST_F(PowerLoss, two_runs_started_together_on_one_port_number_one_runs_one_is_refused) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  Handset b(work, "b", work / "load-b");
  ASSERT_TRUE(a.started() && b.started());
  e2e::FfsloadProcess first, second;
  ASSERT_TRUE(first.start(run_args(a), station.string()));
  ASSERT_TRUE(second.start(run_args(b), station.string()));
  const e2e::RunResult r1 = first.finish();
  const e2e::RunResult r2 = second.finish();
  const bool first_ran = r1.exit_code == 0;
  const e2e::RunResult& ran = first_ran ? r1 : r2;
  const e2e::RunResult& refused = first_ran ? r2 : r1;
  EXPECT_EQ(ran.exit_code, 0) << ran.err;
  EXPECT_EQ(refused.exit_code, 2) << refused.err;
  EXPECT_TRUE(contains(refused.err, "in use by another run")) << refused.err;
  EXPECT_TRUE(refused.out.empty()) << refused.out;  // it never touched its handset
}

TEST_F(PowerLoss, a_handset_moved_to_another_fixture_is_asked_never_passed_without_its_imei) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  Handset c(work, "c", work / "load-c");
  ASSERT_TRUE(a.started() && c.started());
  // Scanned with the scanner's blanks around it: the unit is "SNA", as the
  // windows take it.
  kill_in_format_pause(a, {"--unit", " SNA "});
  port = 4;
  // Back on port 4: with its serial, without one, and with a No it is never
  // formatted; its IMEI stays pending on port 3.
  for (const std::vector<std::string>& extra :
       {std::vector<std::string>{"--unit", "SNA"}, std::vector<std::string>{},
        std::vector<std::string>{"--unit", "SNA", "--pending-imei", "keep-aside"}}) {
    const e2e::RunResult r = run(a, extra);
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_TRUE(contains(r.out, "frd IMEI IMEI  => 61 (0)")) << r.out;
    EXPECT_FALSE(contains(r.out, "mkfs")) << r.out;
  }
  const auto listed = e2e::run_ffsload({"pending"}, station.string());
  EXPECT_TRUE(contains(listed.out, "   3  pending") && contains(listed.out, kHexA)) << listed.out;
  // Another unit, told apart by its serial, runs on without a question.
  EXPECT_EQ(run(c, {"--unit", "SNZ"}).exit_code, 0);

  // Confirmed on the command line: it gets its IMEI, and the journal says who.
  const e2e::RunResult back =
      run(a, {"--unit", "SNA", "--pending-imei", "restore", "--operator", "op4"});
  EXPECT_EQ(back.exit_code, 0) << back.err;
  EXPECT_EQ(read(a.stop() / "IMEI"), kImeiA);
  EXPECT_TRUE(contains(read(station / "run-journal_3"), "confirmed"))
      << read(station / "run-journal_3");
  EXPECT_TRUE(contains(e2e::run_ffsload({"pending"}, station.string()).out, "no pending"));
}

TEST_F(PowerLoss, an_answer_that_names_another_units_imei_stops_before_the_format) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  Handset b(work, "b", work / "load-b");
  ASSERT_TRUE(a.started() && b.started());
  kill_in_format_pause(a, {"--unit", "SNA"});
  kill_in_format_pause(b, {"--unit", "SNB"});
  // Scanned as a third unit, or as B, while the answer names A's IMEI.
  for (const char* serial : {"SNX", "SNB"}) {
    const e2e::RunResult r = run(a, {"--unit", serial, "--pending-imei", "restore=" + kHexA});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_TRUE(contains(r.out, "frd IMEI IMEI  => 61 (0)")) << r.out;
    EXPECT_TRUE(contains(r.err, "scanned as unit " + std::string(serial))) << r.err;
    EXPECT_FALSE(contains(r.out, "mkfs")) << r.out;
  }
  const e2e::RunResult right = run(a, {"--unit", "SNA", "--pending-imei", "restore=" + kHexA});
  EXPECT_EQ(right.exit_code, 0) << right.err;
  EXPECT_EQ(run(b, {"--unit", "SNB"}).exit_code, 0);
  EXPECT_EQ(read(a.stop() / "IMEI"), kImeiA);
  EXPECT_EQ(read(b.stop() / "IMEI"), kImeiB);
}

TEST_F(PowerLoss, a_damaged_format_or_imei_line_never_lets_a_pending_imei_go) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  ASSERT_TRUE(a.started());
  for (const std::string kind : {"format", "imei"}) {
    SCOPED_TRACE(kind);
    kill_in_format_pause(a);
    std::string text = read(station / "run-journal_3");
    const auto at = text.rfind("\n" + kind + " ") + kind.size() + 3;
    text[at] = static_cast<char>(text[at] ^ 0x01);  // the run's uid, so the line names none
    std::ofstream(station / "run-journal_3", std::ios::binary | std::ios::trunc) << text;
    const auto resolved = e2e::run_ffsload(
        {"pending", "--port", "3", "--resolve-damaged", "--by", "eng"}, station.string());
    EXPECT_EQ(resolved.exit_code, 0) << resolved.err;
    EXPECT_TRUE(contains(resolved.out, kHexA + " of the run at")) << resolved.out;
    // Still pending: asked, never formatted.
    const e2e::RunResult asked = run(a);
    EXPECT_TRUE(contains(asked.out, "frd IMEI IMEI  => 61 (0)")) << asked.out;
    const auto report =
        e2e::run_ffsload({"report", "--interrupted", "--records", "loss.sqlite"}, station.string());
    EXPECT_FALSE(contains(report.out, "not at risk")) << report.out;
    EXPECT_EQ(run(a, {"--pending-imei", "restore"}).exit_code, 0);
  }
  EXPECT_EQ(read(a.stop() / "IMEI"), kImeiA);
}

TEST_F(PowerLoss, a_run_in_a_ports_folder_is_the_stations_run_of_that_port) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  Handset b(work, "b", work / "load-b");
  ASSERT_TRUE(a.started() && b.started());
  // A port's folder as run --ports makes it: a link to each station file.
  const stdfs::path folder = station / "ports/3";
  stdfs::create_directories(folder);
  for (const auto& entry : stdfs::directory_iterator(station)) {
    if (entry.path().filename() != "ports") {
      stdfs::create_symlink(entry.path(), folder / entry.path().filename());
    }
  }
  e2e::FfsloadProcess station_run;
  ASSERT_TRUE(station_run.start(run_args(a), station.string()));
  ASSERT_TRUE(station_run.wait_for_line("mkfs"));
  const e2e::RunResult beside = e2e::run_ffsload(run_args(b), folder.string());
  EXPECT_EQ(beside.exit_code, 2) << beside.err;
  EXPECT_TRUE(contains(beside.err, "no run: the port is in use by another run")) << beside.err;
  EXPECT_EQ(station_run.finish().exit_code, 0);
  // Killed inside the port's folder: the station's journal knows, not the folder's.
  kill_in_format_pause(a, {},
                       {"run", "--port", "3", "--device", a.device(), "--script", "main.tms",
                        "--records", "loss.sqlite"});
  EXPECT_FALSE(stdfs::exists(folder / "run-journal_3"));
  EXPECT_EQ(run(a, {"--pending-imei", "restore"}).exit_code, 0);
  EXPECT_EQ(read(a.stop() / "IMEI"), kImeiA);
}

TEST_F(PowerLoss, an_engineer_takes_a_keep_aside_back_with_who_and_why) {
  Handset a(work, "a", e2e::examples_dir() + "/handset");
  ASSERT_TRUE(a.started());
  kill_in_format_pause(a);
  EXPECT_EQ(run(a, {"--pending-imei", "keep-aside"}).exit_code, 0);        // a No, for good
  EXPECT_EQ(run(a, {"--pending-imei", "restore=" + kHexA}).exit_code, 2);  // nothing pending
  const auto no_reason = e2e::run_ffsload(
      {"pending", "--port", "3", "--restore-kept", kHexA, "--by", "eng"}, station.string());
  EXPECT_EQ(no_reason.exit_code, 2) << no_reason.err;
  const auto undone = e2e::run_ffsload({"pending", "--port", "3", "--restore-kept", kHexA, "--by",
                                        "eng", "--why", "the operator pressed No by mistake"},
                                       station.string());
  EXPECT_EQ(undone.exit_code, 0) << undone.err;
  const auto listed = e2e::run_ffsload({"pending"}, station.string());
  EXPECT_TRUE(contains(listed.out, "pressed No by mistake")) << listed.out;
  // The handset was formatted by the keep-aside run and has no IMEI now.
  EXPECT_EQ(run(a, {"--pending-imei", "restore=" + kHexA}).exit_code, 0);
  EXPECT_EQ(read(a.stop() / "IMEI"), kImeiA);
}
