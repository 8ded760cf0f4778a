#include "cfx/queue.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace {

cfx::Envelope message(const std::string& name, const std::string& id) {
  cfx::Envelope e;
  e.message_name = name;
  e.unique_id = id;
  e.time_stamp = "2026-12-08T17:06:05.123+00:00";
  e.source = "FFSLoad.ffsload.st04";
  e.body = cfx::body_of(name);
  return e;
}

std::vector<std::string> waiting_ids(cfx::Queue& q) {
  std::vector<std::string> ids;
  for (const auto& m : q.waiting(100)) ids.push_back(m.unique_id);
  return ids;
}

TEST(CfxQueue, KeepsOrderAndQueuesEachUniqueIdOnce) {
  testing_support::TempDir dir;
  std::string error;
  auto q = cfx::Queue::open(dir.path(), &error);
  ASSERT_TRUE(q) << error;
  const std::vector<cfx::Envelope> first = {message("CFX.Production.WorkStarted", "a"),
                                            message("CFX.Production.WorkCompleted", "b")};
  ASSERT_TRUE(q->add(first, &error)) << error;
  // Built again after a crash: "b" again, then a new one.
  const std::vector<cfx::Envelope> again = {message("CFX.Production.WorkCompleted", "b"),
                                            cfx::Envelope(message("CFX.Heartbeat", "c"))};
  ASSERT_TRUE(q->add(again, &error)) << error;
  EXPECT_EQ(waiting_ids(*q), (std::vector<std::string>{"a", "b", "c"}));

  const auto w = q->waiting(1);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].subject, "FFSLoad.ffsload.st04.CFX.Production.WorkStarted");
  EXPECT_EQ(w[0].message_name, "CFX.Production.WorkStarted");
  EXPECT_EQ(nlohmann::json::parse(w[0].json)["UniqueID"], "a");
  EXPECT_EQ(w[0].target, "");
}

TEST(CfxQueue, DeliveredAndSetAsideMessagesNoLongerWaitAndAreNotQueuedAgain) {
  testing_support::TempDir dir;
  std::string error;
  auto q = cfx::Queue::open(dir.path(), &error);
  ASSERT_TRUE(q) << error;
  const std::vector<cfx::Envelope> three = {
      message("CFX.Heartbeat", "a"), message("CFX.Heartbeat", "b"), message("CFX.Heartbeat", "c")};
  ASSERT_TRUE(q->add(three, &error));
  auto w = q->waiting(10);
  ASSERT_EQ(w.size(), 3u);
  EXPECT_TRUE(q->remove(w[0].seq, 1796749565123));
  EXPECT_TRUE(q->set_aside(w[1].seq, "rejected: amqp:not-allowed"));
  EXPECT_EQ(waiting_ids(*q), (std::vector<std::string>{"c"}));

  const cfx::QueueStatus s = q->status();
  EXPECT_EQ(s.waiting, 1);
  EXPECT_EQ(s.set_aside, 1);
  ASSERT_TRUE(s.oldest_waiting_ms);
  EXPECT_EQ(s.last_delivered_ms, 1796749565123);
  const auto aside = q->set_aside_messages(10);
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(aside[0].unique_id, "b");
  EXPECT_EQ(aside[0].reason, "rejected: amqp:not-allowed");

  ASSERT_TRUE(q->add(three, &error));  // all three known already
  EXPECT_EQ(waiting_ids(*q), (std::vector<std::string>{"c"}));
}

std::uintmax_t queue_bytes(const std::string& folder) {
  std::uintmax_t bytes = 0;
  for (const char* suffix : {"", "-wal"}) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(folder + "/" + cfx::kQueueFile + suffix, ec);
    if (!ec) bytes += size;
  }
  return bytes;
}

// The sender's pace: a run's worth added, what waits removed in batches of
// 100, the queue tidied between.
void deliver_runs(cfx::Queue& q, int first, int count, const std::string& payload) {
  std::string error;
  for (int i = first; i < first + count; ++i) {
    cfx::Envelope e = message("CFX.Production.TestAndInspection.UnitsTested", std::to_string(i));
    e.body["Payload"] = payload;
    const cfx::Envelope one[] = {e};
    ASSERT_TRUE(q.add(one, &error)) << error;
    if (i % 100 != 99) continue;
    std::vector<std::int64_t> seqs;
    for (const auto& m : q.waiting(100)) seqs.push_back(m.seq);
    ASSERT_TRUE(q.remove(seqs, 1796749565123));
    ASSERT_TRUE(q.tidy(1796749565123)) << q.last_error();
  }
}

TEST(CfxQueue, DeliveredMessagesLeaveTheFileWhichStopsGrowingAndTheirIdsAreForgottenAfterAWeek) {
  testing_support::TempDir dir;
  std::string error;
  auto q = cfx::Queue::open(dir.path(), &error);
  ASSERT_TRUE(q) << error;
  // Messages of 6 KB, a UnitsTested's size: each one's row held a page of
  // its own before, emptied or not, and the file grew by it.
  const std::string payload(6000, 'x');
  deliver_runs(*q, 0, 1000, payload);
  const auto after_first = queue_bytes(dir.path());
  deliver_runs(*q, 1000, 3000, payload);
  const auto after_all = queue_bytes(dir.path());
  EXPECT_LT(after_all, after_first + 1'000'000) << after_first << " then " << after_all;
  EXPECT_LT(after_all, 4000u * 6000 / 2);
  EXPECT_TRUE(q->waiting(1).empty());

  // A delivered message built again is known for a week, then forgotten.
  const std::vector<cfx::Envelope> again = {message("CFX.Heartbeat", "5")};
  ASSERT_TRUE(q->add(again, &error));
  EXPECT_TRUE(q->waiting(1).empty());
  ASSERT_TRUE(q->tidy(1796749565123 + cfx::kDeliveredKeptMs - 1000));
  ASSERT_TRUE(q->add(again, &error));
  EXPECT_TRUE(q->waiting(1).empty());
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(q->tidy(1796749565123 + cfx::kDeliveredKeptMs + 1000));
  ASSERT_TRUE(q->add(again, &error));
  EXPECT_EQ(waiting_ids(*q), (std::vector<std::string>{"5"}));
}

// A queue written before delivered messages left their table keeps them as
// rows marked delivered: still known, moved out a step at a time.
TEST(CfxQueue, DeliveredRowsOfAnEarlierFileStayKnownAndAreMovedOut) {
  testing_support::TempDir dir;
  std::string error;
  auto q = cfx::Queue::open(dir.path(), &error);
  ASSERT_TRUE(q) << error;
  const std::vector<cfx::Envelope> old = {message("CFX.Heartbeat", "old")};
  ASSERT_TRUE(q->add(old, &error));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir.path() + "/" + cfx::kQueueFile).c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "UPDATE messages SET state = 1, json = '', done_at_ms = 1796749565123",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  ASSERT_TRUE(q->add(old, &error));
  EXPECT_TRUE(q->waiting(1).empty());
  ASSERT_TRUE(q->tidy(1796749565123 + 1000));
  ASSERT_TRUE(q->add(old, &error));
  EXPECT_TRUE(q->waiting(1).empty());
  ASSERT_TRUE(q->tidy(1796749565123 + cfx::kDeliveredKeptMs + 1000));
  ASSERT_TRUE(q->add(old, &error));
  EXPECT_EQ(waiting_ids(*q), (std::vector<std::string>{"old"}));
}

TEST(CfxQueue, WhatWasAddedSurvivesAProcessThatDiesWithoutClosingAndAReopen) {
  testing_support::TempDir dir;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string error;
    auto q = cfx::Queue::open(dir.path(), &error);
    const std::vector<cfx::Envelope> one = {message("CFX.Production.WorkStarted", "x")};
    const bool added = q && q->add(one, {{"operator.port.1", "op-7"}}, &error);
    _exit(added ? 0 : 1);  // no destructor, no close: as a kill after the add
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::string error;
  auto q = cfx::Queue::open(dir.path(), &error);
  ASSERT_TRUE(q) << error;
  EXPECT_EQ(waiting_ids(*q), (std::vector<std::string>{"x"}));
  EXPECT_EQ(q->fact("operator.port.1"), "op-7");
}

TEST(CfxQueue, EightPortsOpeningANewQueueAtOnceEachQueueTheirMessages) {
  // A station's eight ports start together on a station whose queue is not
  // made yet: none may give up on the new file and lose its run's messages.
  for (int round = 0; round < 20; ++round) {
    testing_support::TempDir dir;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> ports;
    for (int port = 1; port <= 8; ++port) {
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        close(go[1]);
        char byte;
        if (read(go[0], &byte, 1) != 0) _exit(3);  // all start at the pipe's close
        std::string error;
        auto q = cfx::Queue::open(dir.path(), &error);
        const std::vector<cfx::Envelope> one = {
            message("CFX.Production.WorkStarted", "port" + std::to_string(port))};
        _exit(q && q->add(one, &error) ? 0 : 1);
      }
      ports.push_back(child);
    }
    close(go[0]);
    close(go[1]);
    for (pid_t child : ports) {
      int status = 0;
      waitpid(child, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
    }
    std::string error;
    auto q = cfx::Queue::open(dir.path(), &error);
    ASSERT_TRUE(q) << error;
    EXPECT_EQ(waiting_ids(*q).size(), 8u) << "round " << round;
  }
}

TEST(CfxQueue, FactsChangeWithTheMessagesAndAreListedByPrefix) {
  testing_support::TempDir dir;
  std::string error;
  auto q = cfx::Queue::open(dir.path(), &error);
  ASSERT_TRUE(q);
  ASSERT_TRUE(
      q->add({}, {{"fault.port.2", "{}"}, {"fault.port.1", "{\"a\":1}"}, {"x", "y"}}, &error));
  EXPECT_EQ(q->facts_starting("fault."),
            (std::vector<std::pair<std::string, std::string>>{{"fault.port.1", "{\"a\":1}"},
                                                              {"fault.port.2", "{}"}}));
  ASSERT_TRUE(q->add({}, {{"fault.port.1", std::nullopt}}, &error));
  EXPECT_EQ(q->facts_starting("fault.").size(), 1u);
  EXPECT_FALSE(q->fact("fault.port.1"));
}

TEST(CfxQueue, ReadersNeverCreateAQueueAndSeeWhatWriterAdded) {
  testing_support::TempDir dir;
  std::string error = "untouched";
  EXPECT_FALSE(cfx::Queue::open_for_reading(dir.path(), &error));
  EXPECT_EQ(error, "");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir.path()) / cfx::kQueueFile));

  auto writer = cfx::Queue::open(dir.path(), &error);
  ASSERT_TRUE(writer);
  const std::vector<cfx::Envelope> one = {message("CFX.Heartbeat", "a")};
  ASSERT_TRUE(writer->add(one, &error));
  auto reader = cfx::Queue::open_for_reading(dir.path(), &error);
  ASSERT_TRUE(reader) << error;
  EXPECT_EQ(reader->status().waiting, 1);
}

// Left by a sender that ran as root: an operator's run could not queue.
// Seen from another user (the test gives its files away when it is root).
TEST(CfxQueue, QueueFilesOfAnotherUserAreNamedWithTheirOwnerAndAReadOnlyQueueIsSaid) {
  testing_support::TempDir dir;
  std::string error;
  {
    auto q = cfx::Queue::open(dir.path(), &error);
    ASSERT_TRUE(q) << error;
    EXPECT_TRUE(q->writable());
  }
  std::ofstream(dir.path() + "/" + cfx::kSenderLockFile).put('\n');
  EXPECT_TRUE(cfx::queue_files_not_ours_to_write(dir.path()).empty());
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  for (const char* f : {cfx::kQueueFile, cfx::kSenderLockFile})
    std::filesystem::permissions(dir.path() + "/" + f, std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::group_read |
                                                           std::filesystem::perms::others_read);
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && ::setuid(65534) != 0) ::_exit(3);
    std::string seen;
    for (const auto& f : cfx::queue_files_not_ours_to_write(dir.path())) seen += f + "\n";
    std::string why;
    auto q = cfx::Queue::open(dir.path(), &why);
    seen += q && !q->writable() ? "read-only\n" : "writable\n";
    (void)!::write(pipe_fds[1], seen.data(), seen.size());
    ::_exit(0);
  }
  ::close(pipe_fds[1]);
  std::string seen;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) seen.append(buffer, n);
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_NE(seen.find(std::string(cfx::kQueueFile) + " (owned by "), std::string::npos) << seen;
  EXPECT_NE(seen.find(std::string(cfx::kSenderLockFile) + " (owned by "), std::string::npos)
      << seen;
  EXPECT_NE(seen.find(", not writable by "), std::string::npos) << seen;
  EXPECT_NE(seen.find("read-only\n"), std::string::npos) << seen;
}

TEST(CfxQueue, AFolderThatCannotHoldTheFileIsAnErrorWithItsName) {
  testing_support::TempDir dir;
  std::string error;
  EXPECT_FALSE(cfx::Queue::open(dir.path() + "/no/such/folder", &error));
  EXPECT_NE(error.find("cfx-queue.sqlite"), std::string::npos) << error;
  // Not a database: refused with the reason, never overwritten.
  testing_support::TempDir::write(cfx::kQueueFile, "this is not a database, but a file of its own");
  EXPECT_FALSE(cfx::Queue::open(dir.path(), &error));
  EXPECT_NE(error.find("cfx-queue.sqlite"), std::string::npos) << error;
  EXPECT_EQ(testing_support::TempDir::read(cfx::kQueueFile),
            "this is not a database, but a file of its own");
}

}  // namespace
