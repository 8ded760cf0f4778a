// The people, the audit trail and the login on the command line, in
// process: PINs handed over on a pipe (--pin-fd), never typed. The
// adversarial case tries every entry point that needs a role without it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/station_people.h"
#include "people/database.h"
#include "people/pin.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

bool g_window_opened = false;

// Runs the command line with `pins` (one a line) readable on a pipe, whose
// descriptor replaces each "{fd}" among the arguments.
Outcome ffsload(std::vector<std::string> args, const std::string& pins = "") {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  EXPECT_EQ(write(fds[1], pins.data(), pins.size()), static_cast<ssize_t>(pins.size()));
  close(fds[1]);
  args.insert(args.begin(), "ffsload");
  std::vector<char*> argv;
  for (std::string& arg : args) {
    if (arg == "{fd}") arg = std::to_string(fds[0]);
    argv.push_back(arg.data());
  }
  cli::WindowFronts fronts;
  fronts.open_panels = [](int, char**) {
    g_window_opened = true;
    return 0;
  };
  fronts.open_grid = [](multiport::StationGrid&, const std::vector<std::string>&) {
    g_window_opened = true;
    return 0;
  };
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  Outcome outcome;
  outcome.status = cli::run_command_line(static_cast<int>(argv.size()), argv.data(), fronts);
  outcome.out = testing::internal::GetCapturedStdout();
  outcome.err = testing::internal::GetCapturedStderr();
  close(fds[0]);
  return outcome;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct Login : ::testing::Test {
  TempDir dir;
  void SetUp() override {
    cli::use_pin_cost(people::quickest_pin_cost());
    ASSERT_EQ(ffsload({"people", "add", "erik", "--role", "engineer", "--pin-fd", "{fd}"}, "2222\n")
                  .status,
              0);
    ASSERT_EQ(ffsload({"people", "add", "tom", "--role", "technician", "--pin-fd", "{fd}", "--by",
                       "erik", "--by-pin-fd", "{fd}"},
                      "2222\n4444\n")
                  .status,
              0);
    ASSERT_EQ(ffsload({"people", "add", "olga", "--role", "operator", "--badge", "B-7",
                       "--pin-fd", "{fd}", "--by", "erik", "--by-pin-fd", "{fd}"},
                      "2222\n5555\n")
                  .status,
              0);
  }
  void TearDown() override { cli::use_pin_cost(people::station_pin_cost()); }

  long events() {
    auto db = people::open_database("runs.sqlite", people::Access::kReading);
    return std::stol(*db->query("SELECT count(*) FROM audit_events")[0][0]);
  }
  std::string people_table() {
    auto db = people::open_database("runs.sqlite", people::Access::kReading);
    std::string text;
    for (const auto& row : db->query("SELECT id, name, role, pin_hash, badge, locked, removed_at FROM people ORDER BY id")) {
      for (const auto& cell : row) text += cell.value_or("NULL") + "|";
      text += "\n";
    }
    return text;
  }
};

TEST_F(Login, people_are_listed_and_the_trail_verified_exported_and_caught_when_edited) {
  Outcome listed = ffsload({"people", "list"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_TRUE(contains(listed.out, "olga")) << listed.out;
  EXPECT_FALSE(contains(listed.out, "argon2")) << listed.out;
  EXPECT_FALSE(contains(listed.out, "B-7")) << listed.out;
  // A PIN on its own descriptor that is not a PIN, or none at all.
  Outcome bad = ffsload({"people", "set-pin", "olga", "--pin-fd", "{fd}", "--by", "olga",
                         "--by-pin-fd", "{fd}"},
                        "5555\n12ab\n");
  EXPECT_EQ(bad.status, 2);
  EXPECT_TRUE(contains(bad.err, "digits only")) << bad.err;
  EXPECT_FALSE(contains(bad.err, "12ab")) << bad.err;
  EXPECT_EQ(ffsload({"people", "set-pin", "olga", "--pin-fd", "{fd}", "--by", "olga",
                     "--by-pin-fd", "{fd}"},
                    "5555\n")
                .status,
            2);
  EXPECT_EQ(ffsload({"people", "set-pin", "olga", "--pin-fd", "{fd}", "--by", "olga",
                     "--by-pin-fd", "{fd}"},
                    "5555\n6666\n")
                .status,
            0);

  Outcome verified = ffsload({"audit", "verify"});
  EXPECT_EQ(verified.status, 0) << verified.out << verified.err;
  EXPECT_TRUE(contains(verified.out, " events, head ")) << verified.out;
  TempDir::write("heads", verified.out);
  Outcome csv = ffsload({"audit", "export", "--since", "2000-01-01"});
  EXPECT_EQ(csv.status, 0);
  EXPECT_TRUE(contains(csv.out, "add technician tom")) << csv.out;
  EXPECT_FALSE(contains(csv.out, "5555")) << csv.out;
  EXPECT_EQ(ffsload({"audit", "export", "--since", "yesterday"}).status, 2);
  Outcome json = ffsload({"audit", "export", "--format", "json"});
  EXPECT_TRUE(contains(json.out, "\"subject\":\"olga\"")) << json.out;

  {
    auto db = people::open_database("runs.sqlite", people::Access::kWriting);
    db->execute("UPDATE audit_events SET actor = 'tom' WHERE number = 2", {});
  }
  Outcome caught = ffsload({"audit", "verify"});
  EXPECT_EQ(caught.status, 1);
  EXPECT_TRUE(contains(caught.out, "number 2,")) << caught.out;
  {
    auto db = people::open_database("runs.sqlite", people::Access::kWriting);
    db->execute("UPDATE audit_events SET actor = 'erik' WHERE number = 2", {});
    db->execute("DELETE FROM audit_events WHERE number = (SELECT max(number) FROM audit_events)",
                {});
  }
  EXPECT_EQ(ffsload({"audit", "verify"}).status, 0);
  Outcome cut = ffsload({"audit", "verify", "--heads", "heads"});
  EXPECT_EQ(cut.status, 1);
  EXPECT_TRUE(contains(cut.out, "newest events were deleted")) << cut.out;
}

TEST_F(Login, no_entry_point_lets_anyone_through_without_the_role) {
  TempDir::write("ffsload.conf", "login = required\n");
  const std::string people_before = people_table();
  struct Try {
    std::vector<std::string> args;
    std::string pins;
  };
  const std::vector<Try> tries = {
      // The people: an engineer's, asked by an operator, a technician, a
      // wrong PIN, nobody.
      {{"people", "add", "x1", "--role", "engineer", "--pin-fd", "{fd}", "--by", "olga",
        "--by-pin-fd", "{fd}"},
       "5555\n1111\n"},
      {{"people", "add", "x2", "--role", "operator", "--pin-fd", "{fd}", "--by", "tom",
        "--by-pin-fd", "{fd}"},
       "4444\n1111\n"},
      {{"people", "add", "x3", "--role", "operator", "--pin-fd", "{fd}", "--by", "erik",
        "--by-pin-fd", "{fd}"},
       "9999\n1111\n"},
      {{"people", "add", "x4", "--role", "engineer", "--pin-fd", "{fd}"}, "1111\n"},
      {{"people", "set-pin", "erik", "--pin-fd", "{fd}", "--by", "tom", "--by-pin-fd", "{fd}"},
       "4444\n1111\n"},
      {{"people", "lock", "erik", "--by", "olga", "--by-pin-fd", "{fd}", "--reason", "r"},
       "5555\n"},
      {{"people", "unlock", "olga", "--by", "B-7", "--by-pin-fd", "{fd}", "--reason", "r"},
       "5555\n"},
      {{"people", "remove", "tom", "--by", "tom", "--by-pin-fd", "{fd}", "--reason", "r"},
       "4444\n"},
      {{"people", "remove", "tom", "--reason", "r"}, ""},
      // The journals: a technician's, asked by an operator, by nobody,
      // with a wrong PIN, without a reason.
      {{"pending", "--port", "3", "--keep-aside", "53029910476543f1", "--by", "olga",
        "--pin-fd", "{fd}", "--reason", "r"},
       "5555\n"},
      {{"pending", "--port", "3", "--restore-kept", "53029910476543f1", "--reason", "r"}, ""},
      {{"pending", "--port", "3", "--resolve-damaged", "--by", "tom", "--pin-fd", "{fd}",
        "--reason", "r"},
       "4443\n"},
      {{"pending", "--port", "3", "--resolve-damaged", "--by", "tom", "--pin-fd", "{fd}"},
       "4444\n"},
      // Runs: nobody, a wrong PIN, nobody known, a keep-aside by an operator.
      {{"run", "--port", "1", "--script", "a.tms"}, ""},
      {{"run", "--port", "1", "--script", "a.tms", "--operator", "olga", "--pin-fd", "{fd}"},
       "5556\n"},
      {{"run", "--port", "1", "--script", "a.tms", "--operator", "mallory", "--pin-fd", "{fd}"},
       "5555\n"},
      {{"run", "--port", "1", "--script", "a.tms", "--operator", "olga", "--pin-fd", "{fd}",
        "--pending-imei", "keep-aside"},
       "5555\n"},
      {{"run", "--ports", "1,2", "--script", "a.tms", "--operator", "olga", "--pin-fd", "{fd}"},
       "1234\n"},
      {{"run", "--ports", "1,2", "--script", "a.tms"}, ""},
      // The windows, which take no login yet.
      {{}, ""},
      {{"grid"}, ""},
  };
  int through = 0;
  for (const Try& t : tries) {
    const long before = events();
    const Outcome outcome = ffsload(t.args, t.pins);
    std::string line;
    for (const auto& arg : t.args) line += arg + " ";
    if (outcome.status != 2) ++through;
    EXPECT_EQ(outcome.status, 2) << line << "\n" << outcome.err;
    EXPECT_FALSE(contains(outcome.err, "ffsload: done")) << line;
    EXPECT_FALSE(contains(outcome.err, "port 1, device")) << line << outcome.err;
    // Every try that named a person, or asked for a person's action, is in
    // the trail (a run's login leaves its failed login; the windows, which
    // ask for nobody, leave none).
    if (!t.args.empty() && t.args[0] != "grid" && t.args.size() > 5) {
      EXPECT_GE(events() - before, 1) << line;
    }
  }
  EXPECT_EQ(through, 0);
  EXPECT_FALSE(g_window_opened);
  EXPECT_EQ(people_table(), people_before);
  EXPECT_EQ(ffsload({"audit", "verify"}).status, 0);

  // With the role the gate opens: the action itself then finds nothing to
  // do, and says so in a second event.
  const long before = events();
  const Outcome resolved = ffsload({"pending", "--port", "3", "--resolve-damaged", "--by", "tom",
                                    "--pin-fd", "{fd}", "--reason", "journal torn"},
                                   "4444\n");
  EXPECT_FALSE(contains(resolved.err, "refused")) << resolved.err;
  EXPECT_EQ(events() - before, 2);
  EXPECT_TRUE(ffsload({"audit", "export"}).out.find("failed: ") != std::string::npos);
}

}  // namespace
