#include "platform/serial_tty_backend.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/serial_port_config.h"

namespace platform {

namespace {

// A write that cannot drain within this time is a dead line, not a slow one.
constexpr int kWriteStallMs = 2000;

speed_t speed_for(long baud) {
  switch (baud) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 230400:
      return B230400;
    case 460800:
      return B460800;
    case 921600:
      return B921600;
    default:
      return B115200;
  }
}

std::string open_failure(const std::string& path, int err) {
  switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return path + ": no such device (is the cable plugged in? check the \"comports\" file)";
    case EACCES:
    case EPERM:
      return path +
             ": permission denied (add the user to the dialout group: "
             "sudo usermod -aG dialout $USER, then log in again)";
    case EBUSY:
      // The terminal's exclusive mode: another program holds the port open.
      return path + ": busy (another program holds this port for exclusive use)";
    case EWOULDBLOCK:
      return path + ": busy (another program is using this port)";
    default:
      return path + ": " + std::strerror(err);
  }
}

// USB serial adapters hold short replies back for milliseconds unless asked
// not to; with one request outstanding at a time that would set the pace.
void ask_for_low_latency(int fd) {
  serial_struct info{};
  if (ioctl(fd, TIOCGSERIAL, &info) != 0) return;  // not supported (a pty): go on without
  info.flags |= ASYNC_LOW_LATENCY;
  (void)ioctl(fd, TIOCSSERIAL, &info);
}

bool configure_raw(int fd, const SerialSettings& s) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  cfmakeraw(&tio);
  cfsetispeed(&tio, speed_for(s.baud));
  cfsetospeed(&tio, speed_for(s.baud));
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  if (s.parity == 1) tio.c_cflag |= PARENB | PARODD;
  if (s.parity == 2) tio.c_cflag |= PARENB;
  if (s.stop_bits == 2) tio.c_cflag |= CSTOPB;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

std::unique_ptr<PosixSerialDevice> PosixSerialDevice::open(const std::string& path,
                                                           const SerialSettings& settings,
                                                           std::string* error) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = open_failure(path, errno);
    return nullptr;
  }
  auto fail = [&](const std::string& why) {
    ::close(fd);
    if (error) *error = why;
    return nullptr;
  };
  if (!isatty(fd)) return fail(path + ": not a serial device (not a tty)");
  // flock binds every user, root included; TIOCEXCL alone does not stop root.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(open_failure(path, errno));
  if (!configure_raw(fd, settings)) return fail(open_failure(path, errno));
  // The terminal's exclusive mode shuts out programs that never take the lock
  // (a terminal program left open on the fixture): they would steal replies.
  if (ioctl(fd, TIOCEXCL) != 0)
    return fail(path + ": cannot take for exclusive use: " + std::strerror(errno));
  ask_for_low_latency(fd);
  return std::unique_ptr<PosixSerialDevice>(new PosixSerialDevice(fd));
}

PosixSerialDevice::~PosixSerialDevice() {
  (void)ioctl(fd_, TIOCNXCL);
  ::close(fd_);
}

void PosixSerialDevice::flush_input() {
  in_next_ = in_end_ = 0;
  (void)tcflush(fd_, TCIFLUSH);
}

void PosixSerialDevice::flush_output() {
  (void)tcflush(fd_, TCOFLUSH);
}

int PosixSerialDevice::write(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd p{fd_, POLLOUT, 0};
      if (poll(&p, 1, kWriteStallMs) > 0 && !(p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
        continue;
      }
    }
    hung_up_ = hung_up_ || (n < 0 && errno == EIO);
    return kErrIo;
  }
  return static_cast<int>(done);
}

bool PosixSerialDevice::fill() {
  in_next_ = in_end_ = 0;
  for (;;) {
    const ssize_t n = ::read(fd_, in_.data(), in_.size());
    if (n > 0) {
      in_end_ = static_cast<std::size_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;  // nothing yet
    // End of file or EIO: the other end hung up (a pulled adapter, a closed pty).
    hung_up_ = n == 0 || errno == EIO;
    return false;
  }
}

int PosixSerialDevice::input_length() {
  if (in_next_ < in_end_) return static_cast<int>(in_end_ - in_next_);
  if (hung_up_) return kErrIo;
  int waiting = 0;
  if (ioctl(fd_, FIONREAD, &waiting) != 0) {
    hung_up_ = (errno == EIO);
    return kErrIo;
  }
  return waiting;
}

int PosixSerialDevice::read_byte() {
  if (in_next_ == in_end_ && !fill()) return kErrIo;
  if (in_next_ == in_end_) return kErrIo;  // nothing waiting
  return in_[in_next_++];
}

void PosixSerialDevice::wait_for_input(long max_ms) {
  if (hung_up_ || max_ms <= 0 || in_next_ < in_end_) return;
  pollfd p{fd_, POLLIN, 0};
  int rc = poll(&p, 1, static_cast<int>(max_ms > 60'000 ? 60'000 : max_ms));
  if (rc > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & POLLIN)) {
    hung_up_ = true;
  }
}

std::unique_ptr<SerialDevice> open_port_device(int port, const SerialSettings& settings,
                                               std::string* error) {
  return PosixSerialDevice::open(device_path_for_port(port), settings, error);
}

}  // namespace platform
