// ffsload-sim: a simulated handset on a new pseudo-terminal.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/stop_signals.h"
#include "sim/faults.h"
#include "sim/fs_folder.h"
#include "sim/handset.h"
#include "sim/pty_server.h"
#include "sim/settings.h"
#include "sim/simulated_line.h"

namespace {

std::atomic<bool> g_stop{false};

void on_signal(int) {
  g_stop = true;
}

void usage(std::FILE* out) {
  std::fprintf(out,
               "usage: ffsload-sim [--link PATH] [--load DIR] [--dump DIR] [--fault FAULT]...\n"
               "                   [--random-faults RATE:SEED] [--set KEY=VALUE]... [--verbose]\n"
               "  Creates a pseudo-terminal, prints its path and answers the tool's requests\n"
               "  as a handset in test mode, until SIGINT or SIGTERM.\n"
               "  --link PATH     also make PATH a symbolic link to the pseudo-terminal\n"
               "  --load DIR      start with the files of DIR on the handset's flash\n"
               "  --dump DIR      write the handset's flash into DIR (new or empty) when stopping\n"
               "  --fault FAULT   KIND[:WHERE[:FIRST[:TIMES]]]; KIND is silent, refuse,\n"
               "                  wrong-id, noise, bad-checksum, trickle, missing-end,\n"
               "                  hang-up (the line goes dead), broken-escape or reset (half\n"
               "                  a reply, then the handset restarts and answers again);\n"
               "                  WHERE is *, a request number, 0xID or 0xID/0xOP\n"
               "  --random-faults RATE:SEED\n"
               "                  also spoil each request with probability RATE (0..1) by a\n"
               "                  kind drawn at random (noise then passes the hunt limit);\n"
               "                  the same SEED gives the same faults; the count of faults\n"
               "                  committed goes to stderr when the simulator stops\n"
               "  --set KEY=VALUE handset settings:\n%s"
               "  --verbose       log every request on stderr\n",
               sim::settings_help().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::string link_path, load_dir, dump_dir;
  bool verbose = false;
  bool random_faults = false;
  sim::Handset handset;
  sim::SimulatedLine line(handset);

  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    std::string v, error;
    if (a == "--help" || a == "-h") {
      usage(stdout);
      return 0;
    } else if (a == "--verbose") {
      verbose = true;
    } else if (a == "--link" && value(&link_path)) {
    } else if (a == "--load" && value(&load_dir)) {
    } else if (a == "--dump" && value(&dump_dir)) {
    } else if (a == "--fault" && value(&v)) {
      auto rule = sim::parse_fault(v, &error);
      if (!rule) {
        std::fprintf(stderr, "ffsload-sim: %s\n", error.c_str());
        return 2;
      }
      line.faults().add(*rule);
    } else if (a == "--random-faults" && value(&v)) {
      auto random = sim::parse_random_faults(v, &error);
      if (!random) {
        std::fprintf(stderr, "ffsload-sim: %s\n", error.c_str());
        return 2;
      }
      line.faults().set_random(*random);
      random_faults = true;
    } else if (a == "--set" && value(&v)) {
      auto eq = v.find('=');
      if (eq == std::string::npos ||
          !sim::apply_setting(handset.state(), v.substr(0, eq), v.substr(eq + 1), &error)) {
        std::fprintf(stderr, "ffsload-sim: %s\n",
                     eq == std::string::npos ? "--set takes KEY=VALUE" : error.c_str());
        return 2;
      }
    } else {
      std::fprintf(stderr, "ffsload-sim: unknown or incomplete option \"%s\"\n", a.c_str());
      usage(stderr);
      return 2;
    }
  }

  std::string error;
  // Refuse a dump folder that would end up mixing old files with the handset's.
  if (!dump_dir.empty() && !sim::dump_folder_usable(dump_dir, &error)) {
    std::fprintf(stderr, "ffsload-sim: %s\n", error.c_str());
    return 2;
  }
  if (!load_dir.empty() && !sim::load_file_system(handset.state().fs, load_dir, &error)) {
    std::fprintf(stderr, "ffsload-sim: %s\n", error.c_str());
    return 1;
  }

  sim::PtyServer server(line);
  if (!server.open(&error)) {
    std::fprintf(stderr, "ffsload-sim: %s\n", error.c_str());
    return 1;
  }
  if (!link_path.empty()) {
    struct stat st {};
    if (::lstat(link_path.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        std::fprintf(stderr, "ffsload-sim: %s exists and is not a link; not replacing it\n",
                     link_path.c_str());
        return 2;
      }
      ::unlink(link_path.c_str());  // a stale link from an earlier run
    }
    if (::symlink(server.device_path().c_str(), link_path.c_str()) != 0) {
      std::fprintf(stderr, "ffsload-sim: cannot link %s: %s\n", link_path.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }

  platform::catch_stop_signals(on_signal, /*restart=*/false);

  std::printf("%s\n", server.device_path().c_str());
  std::fflush(stdout);

  server.serve(g_stop, verbose ? stderr : nullptr);

  if (random_faults) {
    std::string counts;
    for (sim::FaultKind kind : sim::kAllFaultKinds) {
      if (int n = line.faults().committed(kind)) {
        counts += std::string(counts.empty() ? "" : ", ") + sim::fault_kind_name(kind) + " " +
                  std::to_string(n);
      }
    }
    std::fprintf(stderr, "ffsload-sim: %d requests, %d faults committed%s%s%s\n",
                 static_cast<int>(line.requests().size()), line.faults().committed_total(),
                 counts.empty() ? "" : " (", counts.c_str(), counts.empty() ? "" : ")");
  }

  int rc = 0;
  if (!dump_dir.empty() && !sim::dump_file_system(handset.state().fs, dump_dir, &error)) {
    std::fprintf(stderr, "ffsload-sim: %s\n", error.c_str());
    rc = 1;
  }
  if (!link_path.empty()) ::unlink(link_path.c_str());
  return rc;
}
