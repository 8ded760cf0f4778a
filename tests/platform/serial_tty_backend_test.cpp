#include "platform/serial_tty_backend.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>

#include "platform/serial_port_config.h"
#include "platform/serial_operations.h"
#include "support/temp_dir.h"

namespace {

// A pseudo-terminal pair; the test holds the master end (the "handset").
struct Pty {
  Pty() {
    char name[128];
    EXPECT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    path = name;
  }
  ~Pty() {
    if (slave >= 0) close(slave);
    if (master >= 0) close(master);
  }
  int master = -1;
  int slave = -1;
  std::string path;
};

std::unique_ptr<platform::PosixSerialDevice> open_device(const std::string& path,
                                                         std::string* error) {
  return platform::PosixSerialDevice::open(path, platform::SerialSettings{}, error);
}

}  // namespace

TEST(PosixSerial, carries_bytes_both_ways_on_a_pseudo_terminal) {
  Pty pty;
  std::string error;
  auto dev = open_device(pty.path, &error);
  ASSERT_TRUE(dev) << error;
  const std::uint8_t request[] = {0x02, 0x14, 0x20, 0x20, 0x02};
  EXPECT_EQ(dev->write(request), 5);
  std::uint8_t got[5] = {};
  ASSERT_EQ(read(pty.master, got, 5), 5);
  EXPECT_EQ(0, memcmp(got, request, 5));

  // Raw mode: 0x0D, 0x0A, 0x11 and 0x03 arrive untouched.
  const std::uint8_t reply[] = {0x0D, 0x0A, 0x11, 0x03, 0x02};
  ASSERT_EQ(write(pty.master, reply, 5), 5);
  dev->wait_for_input(1000);
  EXPECT_EQ(dev->input_length(), 5);
  for (std::uint8_t b : reply) EXPECT_EQ(dev->read_byte(), b);
  EXPECT_EQ(dev->input_length(), 0);
}

TEST(PosixSerial, second_opener_of_a_port_is_refused_as_busy) {
  Pty pty;
  std::string error;
  auto first = open_device(pty.path, &error);
  ASSERT_TRUE(first) << error;
  // Exclusive mode shuts out programs that do not take the lock (root aside).
  int exclusive = 0;
  ASSERT_EQ(ioctl(pty.slave, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 1);
  auto second = open_device(pty.path, &error);
  EXPECT_FALSE(second);
  EXPECT_NE(error.find("busy"), std::string::npos) << error;
  first.reset();  // closing releases the lock
  EXPECT_TRUE(open_device(pty.path, &error)) << error;
}

TEST(PosixSerial, says_why_a_device_cannot_be_opened) {
  std::string error;
  EXPECT_FALSE(open_device("/dev/does-not-exist", &error));
  EXPECT_NE(error.find("no such device"), std::string::npos) << error;
  EXPECT_FALSE(open_device("/dev/null", &error));
  EXPECT_NE(error.find("not a tty"), std::string::npos) << error;
}

TEST(PosixSerial, hang_up_ends_the_wait_at_once_and_reads_fail) {
  Pty pty;
  std::string error;
  auto dev = open_device(pty.path, &error);
  ASSERT_TRUE(dev) << error;
  close(pty.slave);
  pty.slave = -1;
  close(pty.master);
  pty.master = -1;
  const auto start = std::chrono::steady_clock::now();
  dev->wait_for_input(5000);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_LT(dev->input_length(), 0);
  EXPECT_LT(dev->read_byte(), 0);
}

TEST(PortNames, override_then_comports_file_then_ttyS) {
  testing_support::TempDir dir;
  platform::clear_device_overrides();
  EXPECT_EQ(platform::device_path_for_port(1), "/dev/ttyS0");
  testing_support::TempDir::write(
      "comports", "# station 4\r\n1 /dev/serial/by-id/usb-A\r\n\nbad line\n8 /dev/ttyUSB7\n");
  EXPECT_EQ(platform::device_path_for_port(1), "/dev/serial/by-id/usb-A");
  EXPECT_EQ(platform::device_path_for_port(8), "/dev/ttyUSB7");
  EXPECT_EQ(platform::device_path_for_port(3), "/dev/ttyS2");
  platform::set_device_override(1, "/tmp/x");
  EXPECT_EQ(platform::device_path_for_port(1), "/tmp/x");
  platform::clear_device_overrides();
}

TEST(SerialPorts, operations_on_a_port_that_did_not_open_fail_without_waiting) {
  testing_support::TempDir dir;
  platform::close_all_ports();
  platform::set_device_override(5, "/dev/does-not-exist");
  EXPECT_NE(platform::OpenComConfig(5, "COM5", 115200, 0, 8, 1, 512, 512), 0);
  EXPECT_NE(platform::last_open_error(5).find("no such device"), std::string::npos);
  EXPECT_NE(platform::GetInQLen(5), 0);  // non-zero ends a reader's wait at once
  EXPECT_LT(platform::ComRdByte(5), 0);
  const std::uint8_t b[] = {1};
  EXPECT_LT(platform::ComWrt(5, b), 0);
  platform::clear_device_overrides();
}
