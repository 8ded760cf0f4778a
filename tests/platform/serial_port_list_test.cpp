// Whether a port may be opened, as "ffsload ports" tells it, and the
// station's checksum line in "comports".
#include "platform/serial_port_list.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/serial_port_config.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

// A pseudo-terminal whose slave stands in for a serial device.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master_);
    unlockpt(master_);
    slave_ = ptsname(master_);
  }
  ~Pty() { close(master_); }
  const std::string& slave() const { return slave_; }

 private:
  int master_ = -1;
  std::string slave_;
};

TEST(PortAccess, says_why_a_path_is_no_usable_port) {
  TempDir dir;
  EXPECT_EQ(platform::why_port_cannot_be_opened(dir.path() + "/nothing"), "no such device");
  TempDir::write("plain", "x");
  EXPECT_EQ(platform::why_port_cannot_be_opened("plain"), "not a serial device");
}

TEST(PortAccess, a_free_port_may_be_opened_and_a_locked_one_names_its_holder) {
  Pty pty;
  EXPECT_EQ(platform::why_port_cannot_be_opened(pty.slave()), "");
  // Another station program holds the port as a run does.
  const int held = open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  const std::string why = platform::why_port_cannot_be_opened(pty.slave());
  EXPECT_EQ(why.rfind("busy: locked by process " + std::to_string(getpid()), 0), 0u) << why;
  close(held);
  EXPECT_EQ(platform::why_port_cannot_be_opened(pty.slave()), "");
}

TEST(StationOptions, comports_line_turns_the_reply_checksum_test_on) {
  TempDir dir;
  EXPECT_FALSE(platform::comports_checks_reply_checksum());
  TempDir::write("comports", "1 /dev/ttyUSB0\ncheck-reply-checksum\n");
  EXPECT_TRUE(platform::comports_checks_reply_checksum());
  // The port lines read as before.
  EXPECT_EQ(platform::device_path_for_port(1), "/dev/ttyUSB0");
  TempDir::write("comports", "check-reply-checksum off\n1 /dev/ttyUSB0\n");
  EXPECT_FALSE(platform::comports_checks_reply_checksum());
}

}  // namespace
