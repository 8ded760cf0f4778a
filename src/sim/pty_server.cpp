#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {
// How often the loop looks at the stop flag when the line is quiet.
constexpr int kStopCheckMs = 100;

void log_request(std::FILE* log, const Request& r) {
  if (!log) return;
  std::fprintf(log, "sim: request 0x%02X", r.id);
  for (std::uint8_t b : r.payload) std::fprintf(log, " %02X", b);
  std::fprintf(log, "\n");
  std::fflush(log);
}
}  // namespace

PtyServer::~PtyServer() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

bool PtyServer::open(std::string* error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    if (error) *error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  const char* name = ptsname(master_);
  if (!name) {
    if (error) *error = "cannot name the pseudo-terminal";
    return false;
  }
  slave_path_ = name;
  // Holding the slave open keeps the master readable while no tool is attached.
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    if (error) *error = std::string("cannot open ") + name + ": " + std::strerror(errno);
    return false;
  }
  termios tio{};
  if (tcgetattr(slave_, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    tcsetattr(slave_, TCSANOW, &tio);
  }
  return true;
}

void PtyServer::transmit(const Transmission& t) {
  if (t.gap_ms <= 0) {
    std::size_t done = 0;
    while (done < t.bytes.size()) {
      ssize_t n = ::write(master_, t.bytes.data() + done, t.bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
    return;
  }
  for (std::uint8_t b : t.bytes) {
    if (::write(master_, &b, 1) != 1) return;
    usleep(static_cast<useconds_t>(t.gap_ms * 1000));
  }
}

void PtyServer::serve(const std::function<bool()>& stop_requested, std::FILE* log) {
  std::uint8_t buffer[512];
  line_.forget_requests();
  while (!stop_requested()) {
    pollfd p{master_, POLLIN, 0};
    int rc = poll(&p, 1, kStopCheckMs);
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0) continue;
    ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      usleep(kStopCheckMs * 1000);  // no tool attached yet; the slave we hold keeps this rare
      continue;
    }
    std::vector<Transmission> out = line_.receive({buffer, static_cast<std::size_t>(n)});
    for (const Request& request : line_.requests()) log_request(log, request);
    line_.forget_requests();
    for (const Transmission& t : out) {
      transmit(t);
      if (t.hang_up_after) {
        if (log) std::fprintf(log, "sim: hanging up\n");
        // Closing both ends hangs the tool's side up at once.
        ::close(slave_);
        slave_ = -1;
        ::close(master_);
        master_ = -1;
        return;
      }
    }
  }
}

}  // namespace sim
