// Kill soak: what a line's power cuts do to its handsets' identities. Each
// round, one new handset (a simulator with an IMEI of its own), or two one
// after the other on the same fixture, is run with the example station's
// main script and killed with SIGKILL (nothing can be caught: a power cut, a
// crash) at a random point, most often in the two-second pause after the
// format, where a line's crashes land most. The kills alternate between the
// front ends that keep a port's runs in different folders: `ffsload run
// --port 3 --unit SERIAL` in the station folder and `ffsload run --ports 3`
// (no serial) in ports/3, its port's process killed with it. Every fourth
// round another handset, with an IMEI of its own, is run next; then the
// killed handsets come back in a random order, each under either front end:
// with its serial scanned, which alone must restore a handset killed with
// its serial, else answering as an operator who reads the question would,
// by naming the pending IMEI (restore=HEX) that `ffsload pending` lists for
// it. A killed handset comes back on a random fixture of the station (port
// 3, where it was killed, or 4 or 5): moved, with its serial scanned, the
// operator confirms it (--pending-imei restore). The other handset runs on a
// random fixture too. After each round every handset's flash is read back.
//
//   kill_soak [--kills N] [--seed S] [--ffsload PATH] [--sim PATH] [--examples DIR] [--keep]
//
// It prints the kills, the IMEIs intact, lost, on a wrong handset, and the
// re-runs that ended green with an IMEI missing. Exit status 0 when nothing
// was lost, given to a wrong handset or passed silently.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/folders.h"
#include "platform/text_format.h"
#include "support/measure.h"
#include "support/process_tree.h"

extern char** environ;

namespace stdfs = std::filesystem;

namespace {

using testing_support::print_figure;

using testing_support::read_file;

struct Options {
  int kills = 200;
  unsigned seed = 1;
  std::string ffsload, sim, examples;
  bool keep = false;
};

std::string hex_of(const std::string& bytes) {
  std::string text;
  for (unsigned char b : bytes) text += platform::strprintf("%02x", b);
  return text;
}

pid_t spawn(const std::vector<std::string>& args, const std::string& cwd, const std::string& out,
            const std::string& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int wait_exit(pid_t pid) {
  // A program that could not be started has no exit to wait for; waiting
  // on -1 would wait for any child, a handset's simulator, for good.
  if (pid <= 0) return 127;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// One handset on the fixture: a simulator with its own flash.
class Handset {
 public:
  Handset(const Options& o, const stdfs::path& work, const std::string& name,
          const std::string& imei)
      : load_(work / (name + "-load")), flash_(work / (name + "-flash")) {
    stdfs::remove_all(load_);
    stdfs::remove_all(flash_);
    stdfs::copy(o.examples + "/handset", load_, stdfs::copy_options::recursive);
    std::ofstream(load_ / "IMEI", std::ios::binary | std::ios::trunc) << imei;
    const std::string out = (work / (name + "-sim.out")).string();
    link_ = (work / (name + "-tty")).string();
    stdfs::remove(link_);
    pid_ = spawn({o.sim, "--link", link_, "--load", load_.string(), "--dump", flash_.string()},
                 work.string(), out, (work / (name + "-sim.err")).string());
    for (int i = 0; i < 200 && !stdfs::exists(link_); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~Handset() { stop(); }
  const std::string& device() const { return link_; }
  // Stops the simulator; returns the IMEI file on its flash ("" when none).
  std::string stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      wait_exit(pid_);
      pid_ = -1;
    }
    return stdfs::exists(flash_ / "IMEI") ? read_file(flash_ / "IMEI") : std::string();
  }

 private:
  stdfs::path load_, flash_;
  std::string link_;
  pid_t pid_ = -1;
};

std::string imei_for(std::mt19937_64& random) {
  std::string imei(8, '\0');
  const std::uint64_t value = random();
  std::memcpy(imei.data(), &value, 8);
  return imei;
}

struct Counts {
  int kills = 0;
  int under_ports = 0;
  int two_in_a_row = 0;
  int by_serial = 0;
  int in_format_pause = 0;
  int finished_before_kill = 0;
  int intact = 0;
  int lost = 0;
  int wrong = 0;
  int silent_green = 0;
  int others = 0;
  int moved = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  const std::string here = stdfs::path(platform::program_path()).parent_path().string();
  o.ffsload = here + "/../src/ffsload";
  o.sim = here + "/../src/ffsload-sim";
  o.examples = FFSLOAD_EXAMPLES_DIR;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "kill_soak: %s needs a value\n", a.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--kills")
      o.kills = std::atoi(value().c_str());
    else if (a == "--seed")
      o.seed = static_cast<unsigned>(std::atoi(value().c_str()));
    else if (a == "--ffsload")
      o.ffsload = value();
    else if (a == "--sim")
      o.sim = value();
    else if (a == "--examples")
      o.examples = value();
    else if (a == "--keep")
      o.keep = true;
    else {
      std::fprintf(stderr,
                   "usage: kill_soak [--kills N] [--seed S] [--ffsload PATH] [--sim PATH] "
                   "[--examples DIR] [--keep]\n");
      return 2;
    }
  }

  char name[] = "/tmp/ffsload-kill-soak-XXXXXX";
  const stdfs::path work = mkdtemp(name);
  const stdfs::path station = work / "station";
  stdfs::copy(o.examples + "/station", station, stdfs::copy_options::recursive);
  const stdfs::path journal = station / "run-journal_3";
  const std::string out = (work / "run.out").string();
  const std::string err = (work / "run.err").string();
  std::mt19937_64 random(o.seed);
  Counts c;

  // The port's device for run --ports, which takes it from "comports".
  auto name_device = [&](const Handset& h, int port) {
    std::ofstream(station / "comports", std::ios::trunc) << port << " " << h.device() << "\n";
  };
  // A run of either front end on `port`; `serial` only for run --port.
  auto args_for = [&](const Handset& h, bool ports, const std::string& serial,
                      std::vector<std::string> extra, int port = 3) {
    std::vector<std::string> args = {o.ffsload,  "run",       "--script",
                                     "main.tms", "--records", "soak.sqlite"};
    const std::string n = std::to_string(port);
    if (ports) {
      name_device(h, port);
      args.insert(args.end(), {"--ports", n});
    } else {
      args.insert(args.end(), {"--port", n, "--device", h.device()});
      if (!serial.empty()) args.insert(args.end(), {"--unit", serial});
    }
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  auto run = [&](const Handset& h, bool ports, const std::string& serial,
                 std::vector<std::string> extra, int port = 3) {
    return wait_exit(
        spawn(args_for(h, ports, serial, std::move(extra), port), station.string(), out, err));
  };
  auto pending_here = [&](const std::string& imei) {
    const std::string listing = (work / "pending.out").string();
    wait_exit(spawn({o.ffsload, "pending"}, station.string(), listing, err));
    std::istringstream lines(read_file(listing));
    for (std::string line; std::getline(lines, line);) {
      if (line.find(" pending ") != std::string::npos &&
          line.find(hex_of(imei)) != std::string::npos)
        return true;
    }
    return false;
  };
  auto format_lines = [&] {
    const std::string text = read_file(journal);
    std::size_t n = 0;
    for (auto at = text.find("\nformat "); at != std::string::npos;
         at = text.find("\nformat ", at + 1)) {
      ++n;
    }
    return n;
  };
  auto chance = [&](double p) { return std::uniform_real_distribution<>(0, 1)(random) < p; };

  struct Killed {
    std::unique_ptr<Handset> handset;
    std::string imei;
    std::string serial;  // "" when killed under run --ports
  };
  bool ports_next = false;
  // Rounds go on until N runs were killed: a run that ended before its kill
  // point is counted apart and does not count as a kill.
  for (int k = 1; c.kills < o.kills; ++k) {
    std::vector<Killed> killed;
    const int in_a_row = chance(0.35) ? 2 : 1;
    c.two_in_a_row += in_a_row == 2;
    for (int i = 0; i < in_a_row; ++i) {
      Killed unit;
      unit.imei = imei_for(random);
      unit.handset = std::make_unique<Handset>(o, work, "unit" + std::to_string(i), unit.imei);
      const bool ports = ports_next;
      ports_next = !ports_next;
      if (!ports) unit.serial = platform::strprintf("SN%05d-%d", k, i);
      const std::size_t formats = format_lines();
      const pid_t pid =
          spawn(args_for(*unit.handset, ports, unit.serial, {}), station.string(), out, err);
      // Kill: seven in ten in the pause after the format, the rest anywhere.
      const bool in_pause = chance(0.7);
      const auto started = std::chrono::steady_clock::now();
      if (in_pause) {
        for (int w = 0; w < 2000 && format_lines() <= formats; ++w) {
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<>(0, 1990)(random)));
      } else {
        std::this_thread::sleep_until(
            started + std::chrono::milliseconds(std::uniform_int_distribution<>(0, 3200)(random)));
      }
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        ++c.finished_before_kill;
      } else {
        testing_support::kill_process_tree(pid);
        wait_exit(pid);
        ++c.kills;
        c.in_format_pause += in_pause;
        c.under_ports += ports;
      }
      killed.push_back(std::move(unit));
    }

    if (k % 4 == 0) {
      // Another handset on the fixture before the killed ones come back.
      const std::string own = imei_for(random);
      Handset other(o, work, "other", own);
      const int rc = run(other, chance(0.5), platform::strprintf("OTHER%05d", k), {},
                         std::uniform_int_distribution<>(3, 5)(random));
      const std::string left = other.stop();
      ++c.others;
      if (left != own) {
        if (left.empty())
          ++c.lost;
        else
          ++c.wrong;
        if (rc == 0) ++c.silent_green;
        std::fprintf(stderr, "round %d: the other handset ended with a wrong IMEI (exit %d): %s\n",
                     k, rc, read_file(err).c_str());
      }
    }

    std::shuffle(killed.begin(), killed.end(), random);
    for (Killed& unit : killed) {
      const bool ports = chance(0.5);
      const int port = std::uniform_int_distribution<>(3, 5)(random);
      c.moved += port != 3;
      std::vector<std::string> answer;
      // Killed with its serial and scanned again on its fixture: the serial
      // alone says. On another fixture the operator confirms the move.
      const bool serial_scanned = !ports && !unit.serial.empty();
      const bool serial_decides = serial_scanned && port == 3;
      if (serial_scanned && port != 3 && pending_here(unit.imei)) {
        answer = {"--pending-imei", "restore"};
      } else if (!serial_decides && pending_here(unit.imei)) {
        answer = {"--pending-imei", "restore=" + hex_of(unit.imei)};
      }
      c.by_serial += serial_decides && pending_here(unit.imei);
      const int rc = run(*unit.handset, ports, unit.serial, answer, port);
      const std::string left = unit.handset->stop();
      if (left == unit.imei) {
        ++c.intact;
      } else {
        if (left.empty())
          ++c.lost;
        else
          ++c.wrong;
        if (rc == 0) ++c.silent_green;
        std::fprintf(stderr, "round %d: the handset ended %s (re-run exit %d): %s\n", k,
                     left.empty() ? "without IMEI" : "with another IMEI", rc,
                     read_file(err).c_str());
      }
    }
  }

  std::printf(
      "kills                              %d (%d in the format pause; %d runs ended before "
      "their kill)\n",
      c.kills, c.in_format_pause, c.finished_before_kill);
  std::printf(
      "killed under run --ports            %d (the others under run --port with a serial)\n",
      c.under_ports);
  std::printf("rounds with two kills in a row     %d\n", c.two_in_a_row);
  std::printf("pending IMEIs restored by serial   %d\n", c.by_serial);
  std::printf("IMEIs intact                       %d of %d handsets\n", c.intact,
              c.kills + c.finished_before_kill);
  std::printf("other handsets run in between      %d\n", c.others);
  std::printf("handsets back on another fixture   %d\n", c.moved);
  std::printf("IMEIs lost                         %d\n", c.lost);
  std::printf("IMEIs on a wrong handset           %d\n", c.wrong);
  std::printf("green re-runs with an IMEI missing %d\n", c.silent_green);
  print_figure("kill soak: IMEIs intact after SIGKILL at random points",
               platform::strprintf("%d of %d (%d kills in the format pause)", c.intact,
                                   c.kills + c.finished_before_kill, c.in_format_pause),
               "all");
  if (o.keep) {
    std::printf("files kept in %s\n", work.c_str());
  } else {
    stdfs::remove_all(work);
  }
  return c.lost + c.wrong + c.silent_green == 0 ? 0 : 1;
}
