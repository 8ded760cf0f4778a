#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/durable_files.h"
#include "platform/file_lock.h"
#include "platform/file_status.h"
#include "platform/secret_input.h"
#include "platform/whole_files.h"
#include "support/temp_dir.h"

namespace {

namespace stdfs = std::filesystem;
using testing_support::TempDir;

TEST(FileLock, a_second_holder_finds_it_busy_until_the_first_lets_go) {
  TempDir dir;
  platform::FileLock first;
  platform::FileLock second;
  ASSERT_EQ(first.take("journal.lock"), platform::FileLock::Result::kHeld);
  EXPECT_EQ(first.take("journal.lock"),
            platform::FileLock::Result::kHeld);  // taken again: still ours
  EXPECT_EQ(second.take("journal.lock"), platform::FileLock::Result::kBusy);
  EXPECT_FALSE(second.held());
  first.release();
  EXPECT_EQ(second.take("journal.lock"), platform::FileLock::Result::kHeld);
}

TEST(FileLock, a_link_under_the_lock_name_is_never_followed) {
  TempDir dir;
  TempDir::write("elsewhere", "keep");
  stdfs::create_symlink("elsewhere", "journal.lock");
  platform::FileLock lock;
  EXPECT_EQ(lock.take("journal.lock"), platform::FileLock::Result::kFailed);
  EXPECT_EQ(errno, ELOOP);
  EXPECT_EQ(TempDir::read("elsewhere"), "keep");
}

TEST(DurableFiles, a_durable_replace_leaves_the_new_text_and_no_part_file) {
  TempDir dir;
  TempDir::write("journal", "old\n");
  TempDir::write("journal.part", "a stale half write");  // a rewrite that a power cut ended
  std::string why;
  ASSERT_TRUE(platform::replace_file_durably("journal", "new\n", &why)) << why;
  EXPECT_EQ(TempDir::read("journal"), "new\n");
  EXPECT_FALSE(stdfs::exists("journal.part"));

  EXPECT_FALSE(platform::replace_file_durably("no-such-folder/journal", "x", &why));
  EXPECT_EQ(why.rfind("no-such-folder/journal.part: ", 0), 0u) << why;
}

TEST(DurableFiles, an_append_creates_the_file_and_refuses_a_link_or_a_folder) {
  TempDir dir;
  std::string why;
  ASSERT_TRUE(platform::append_durably("log", "one\n", platform::AppendSync::kNow, &why)) << why;
  ASSERT_TRUE(
      platform::append_durably("log", "two\n", platform::AppendSync::kWithNextAppend, &why));
  EXPECT_EQ(TempDir::read("log"), "one\ntwo\n");

  TempDir::write("target", "kept");
  stdfs::create_symlink("target", "link");
  EXPECT_FALSE(platform::append_durably("link", "x\n", platform::AppendSync::kNow, &why));
  EXPECT_EQ(why.rfind("link: ", 0), 0u) << why;
  EXPECT_EQ(TempDir::read("target"), "kept");

  stdfs::create_directory("folder");
  EXPECT_FALSE(platform::append_durably("folder", "x\n", platform::AppendSync::kNow, &why));
}

TEST(WholeFiles, reads_a_plain_file_and_tells_missing_from_unreadable) {
  TempDir dir;
  std::string text;
  std::string why;
  EXPECT_EQ(platform::read_whole_file("none", &text, &why), platform::WholeRead::kMissing);
  TempDir::write("file", std::string(20000, 'x'));  // more than one read's worth
  ASSERT_EQ(platform::read_whole_file("file", &text, &why), platform::WholeRead::kRead);
  EXPECT_EQ(text.size(), 20000u);
  stdfs::create_symlink("file", "link");
  EXPECT_EQ(platform::read_whole_file("link", &text, &why), platform::WholeRead::kFailed);
  stdfs::create_directory("folder");
  EXPECT_EQ(platform::read_whole_file("folder", &text, &why), platform::WholeRead::kFailed);
  EXPECT_EQ(why, "folder: not a regular file");
}

TEST(WholeFiles, an_exclusive_create_never_touches_a_taken_name) {
  TempDir dir;
  EXPECT_EQ(platform::create_exclusive("log.txt", "first"), 0);
  EXPECT_EQ(platform::create_exclusive("log.txt", "second"), EEXIST);
  EXPECT_EQ(TempDir::read("log.txt"), "first");
  stdfs::create_symlink("elsewhere", "dangling.txt");  // not followed to create its target
  EXPECT_EQ(platform::create_exclusive("dangling.txt", "x"), EEXIST);
  EXPECT_FALSE(stdfs::exists("elsewhere"));
}

TEST(PathKinds, a_link_is_seen_as_a_link_only_when_not_followed) {
  TempDir dir;
  TempDir::write("file", "12345");
  stdfs::create_symlink("file", "link");
  EXPECT_EQ(platform::path_kind("link"), platform::PathKind::kPlainFile);
  EXPECT_EQ(platform::path_kind_no_follow("link"), platform::PathKind::kLink);
  EXPECT_EQ(platform::path_kind("none"), platform::PathKind::kNone);
  EXPECT_EQ(platform::file_identity("link"), platform::file_identity("file"));
  EXPECT_EQ(platform::file_status("file")->size, 5u);
}

}  // namespace

TEST(DurableFiles, a_fifo_under_a_journals_name_is_refused_at_once_never_waited_on) {
  TempDir dir;
  ASSERT_EQ(::mkfifo("fifo", 0644), 0);
  std::string why;
  std::string text;
  EXPECT_FALSE(platform::append_durably("fifo", "x\n", platform::AppendSync::kNow, &why));
  EXPECT_EQ(why, "fifo: not a regular file");
  EXPECT_EQ(platform::read_whole_file("fifo", &text, &why), platform::WholeRead::kFailed);
  EXPECT_EQ(why, "fifo: not a regular file");
}

TEST(SecretInput, one_line_at_a_time_from_a_descriptor_and_nothing_of_a_line_too_long) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string lines = "1234\r\n5678\n" + std::string(100, '9') + "\n42";
  ASSERT_EQ(write(fds[1], lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
  close(fds[1]);
  char buffer[64];
  std::size_t length = 0;
  std::string why;
  using platform::SecretRead;
  EXPECT_EQ(platform::read_secret_line(fds[0], buffer, sizeof buffer, &length, &why),
            SecretRead::kRead);
  EXPECT_EQ(std::string(buffer, length), "1234");  // the CR of a CR LF dropped
  EXPECT_EQ(platform::read_secret_line(fds[0], buffer, sizeof buffer, &length, &why),
            SecretRead::kRead);
  EXPECT_EQ(std::string(buffer, length), "5678");
  EXPECT_EQ(platform::read_secret_line(fds[0], buffer, sizeof buffer, &length, &why),
            SecretRead::kTooLong);
  EXPECT_EQ(buffer[0], '\0');  // what was read of it is wiped
  EXPECT_EQ(platform::read_secret_line(fds[0], buffer, sizeof buffer, &length, &why),
            SecretRead::kRead);  // the last line needs no line end
  EXPECT_EQ(std::string(buffer, length), "42");
  EXPECT_EQ(platform::read_secret_line(fds[0], buffer, sizeof buffer, &length, &why),
            SecretRead::kEnd);
  close(fds[0]);
  EXPECT_EQ(platform::read_secret_line(fds[0], buffer, sizeof buffer, &length, &why),
            SecretRead::kFailed);
  EXPECT_NE(why.find("not open"), std::string::npos) << why;
}
