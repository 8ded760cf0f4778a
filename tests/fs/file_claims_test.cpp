// Two stations in one folder: a PC file that one run read back from its
// handset is never taken by another station's run.
#include "platform/file_claims.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "file_command_fixture.h"
#include "fs/compare.h"
#include "fs/download.h"
#include "fs/readback.h"
#include "fs/refusals.h"

class FileClaims : public testing_support::FileCommandTest {
 protected:
  // Another station's run holding `name`, as its process would.
  int hold_elsewhere(const std::string& name) {
    const int fd = open((name + ".lock").c_str(), O_RDWR | O_CREAT, 0644);
    EXPECT_GE(fd, 0);
    // A separate open file description: the lock conflicts with this process's own.
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(write(fd, "port 3, process 4242\n", 21), 21);
    return fd;
  }
  int run(const std::string& keyword, const std::string& pc) {
    std::string name = pc;
    const std::string text = keyword + " IMEI " + pc;
    if (keyword == "frd") return fs::frd(link, imei, text, "/gsm", "IMEI", name);
    if (keyword == "fwr") return fs::writefile(link, imei, text, "/gsm", "IMEI", name);
    return fs::comparefile(link, imei, text, "/gsm", "IMEI", name);
  }
};

TEST_F(FileClaims, a_file_held_by_another_run_is_neither_written_nor_read) {
  attach(4);
  put_handset_file("/gsm/IMEI", pattern(8, 2));
  write_pc_file("IMEI", pattern(8, 1));  // the other handset's IMEI
  const int other = hold_elsewhere("IMEI");
  for (const std::string keyword : {"frd", "fwr", "compare"}) {
    SCOPED_TRACE(keyword);
    IMEI_flag = 1;  // as after this run's own backup
    EXPECT_EQ(run(keyword, "IMEI"), fs::kStatusPcFileHeldElsewhere);
    EXPECT_EQ(log().back(), keyword +
                                " IMEI IMEI  => 58 (0): IMEI is held by the run on port 3, "
                                "process 4242");
  }
  EXPECT_TRUE(requests().empty());
  EXPECT_EQ(read_pc_file("IMEI"), pattern(8, 1));
  EXPECT_EQ(state().fs.files["/gsm/IMEI"], pattern(8, 2));

  // Once the other run has ended (or died), the file is free again.
  close(other);
  EXPECT_EQ(run("frd", "IMEI"), 0);
  EXPECT_EQ(read_pc_file("IMEI"), pattern(8, 2));
  // This run's own claim never stands in its way.
  EXPECT_EQ(run("compare", "IMEI"), 0);
  EXPECT_EQ(imei.claims().held_elsewhere("IMEI"), std::nullopt);
}

TEST_F(FileClaims, another_run_of_this_process_is_held_off_as_another_process_is) {
  // Ports 4 and 5 share PC names: the run on port 5 must not take the IMEI
  // that the run on port 4, in the same process, read back.
  attach(4);
  put_handset_file("/gsm/IMEI", pattern(8, 2));
  EXPECT_EQ(run("frd", "IMEI"), 0);
  char other_flag = 0;
  fs::ImeiGuard other(other_flag);
  wire::Link other_link(5);
  for (const std::string keyword : {"frd", "fwr", "compare"}) {
    SCOPED_TRACE(keyword);
    other_flag = 1;  // as after the other run's own backup
    std::string name = "IMEI";
    const std::string text = keyword + " IMEI IMEI";
    const int status = keyword == "frd" ? fs::frd(other_link, other, text, "/gsm", "IMEI", name)
                       : keyword == "fwr"
                           ? fs::writefile(other_link, other, text, "/gsm", "IMEI", name)
                           : fs::comparefile(other_link, other, text, "/gsm", "IMEI", name);
    EXPECT_EQ(status, fs::kStatusPcFileHeldElsewhere);
    EXPECT_NE(log().back().find("IMEI is held by the run on port 4, process"), std::string::npos)
        << log().back();
  }
  // The first run's end lets the other take it (the handset moved to port 5).
  imei.claims().release();
  platform::install_port(5, port);
  std::string name = "IMEI";
  EXPECT_EQ(fs::frd(other_link, other, "frd IMEI IMEI", "/gsm", "IMEI", name), 0);
}

TEST_F(FileClaims, planted_links_for_the_temporary_and_lock_files_are_refused_not_followed) {
  attach(1);
  put_handset_file("/gsm/IMEI", pattern(8, 2));
  write_pc_file("elsewhere-a", pattern(3, 7));
  write_pc_file("elsewhere-b", pattern(3, 7));
  std::filesystem::create_symlink("elsewhere-a", "IMEI_1.part");
  // The IMEI never lands in the file the link names; the read-back fails.
  std::string name = "IMEI";
  EXPECT_EQ(fs::frd(link, imei, "frd IMEI IMEI", "/gsm", "IMEI", name),
            fs::kStatusPcFileNotWritten);
  EXPECT_EQ(read_pc_file("elsewhere-a"), pattern(3, 7));
  EXPECT_TRUE(std::filesystem::is_symlink("IMEI_1.part"));
  imei.claims().release();

  std::filesystem::remove("IMEI_1.part");
  std::filesystem::remove("IMEI_1.lock");
  std::filesystem::create_symlink("elsewhere-b", "IMEI_1.lock");
  name = "IMEI";
  EXPECT_EQ(fs::frd(link, imei, "frd IMEI IMEI", "/gsm", "IMEI", name),
            fs::kStatusPcFileHeldElsewhere);
  EXPECT_NE(log().back().find("IMEI_1.lock is not a plain file"), std::string::npos)
      << log().back();
  EXPECT_EQ(read_pc_file("elsewhere-b"), pattern(3, 7));  // no claim text in it
  EXPECT_NE(imei.claims().held_elsewhere("IMEI_1"), std::nullopt);

  // A plain temporary file left by a run that was cut off is replaced.
  std::filesystem::remove("IMEI_1.lock");
  write_pc_file("IMEI_1.part", pattern(2, 1));
  name = "IMEI";
  EXPECT_EQ(fs::frd(link, imei, "frd IMEI IMEI", "/gsm", "IMEI", name), 0);
  EXPECT_EQ(read_pc_file("IMEI_1"), pattern(8, 2));
  EXPECT_FALSE(std::filesystem::exists("IMEI_1.part"));
}
