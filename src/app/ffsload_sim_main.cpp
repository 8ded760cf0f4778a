// ffsload-sim: a simulated handset on a new pseudo-terminal.
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
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

}  // namespace

int main(int argc, char** argv) {
  std::string link_path, load_dir, dump_dir;
  bool verbose = false;
  bool random_faults = false;
  sim::Handset handset;
  sim::SimulatedLine line(handset);

  // The same option parser as ffsload's: --help, --opt=value and the errors
  // come out alike.
  CLI::App app{"ffsload-sim: a simulated handset. Creates a pseudo-terminal, prints its path and "
               "answers the tool's requests as a handset in test mode, until SIGINT or SIGTERM.",
               "ffsload-sim"};
  std::vector<std::string> faults, settings;
  std::string random;
  app.add_option("--link", link_path, "also make PATH a symbolic link to the pseudo-terminal")
      ->type_name("PATH");
  app.add_option("--load", load_dir, "start with the files of DIR on the handset's flash")
      ->type_name("DIR");
  app.add_option("--dump", dump_dir,
                 "write the handset's flash into DIR (new or empty) when stopping")
      ->type_name("DIR");
  app.add_option("--fault", faults,
                 "KIND[:WHERE[:FIRST[:TIMES]]]; KIND is silent, refuse, wrong-id, noise, "
                 "bad-checksum, trickle, missing-end, hang-up (the line goes dead), "
                 "broken-escape or reset (half a reply, then the handset restarts and answers "
                 "again); WHERE is *, a request number, 0xID or 0xID/0xOP (repeat for more)")
      ->type_name("FAULT")
      ->expected(1);
  app.add_option("--random-faults", random,
                 "also spoil each request with probability RATE (0..1) by a kind drawn at "
                 "random; the same SEED gives the same faults; the count of faults committed "
                 "goes to stderr when the simulator stops")
      ->type_name("RATE:SEED");
  app.add_option("--set", settings, "a handset setting KEY=VALUE (repeat for more); see below")
      ->type_name("KEY=VALUE")
      ->expected(1);
  app.add_flag("--verbose", verbose, "log every request on stderr");
  app.footer("Handset settings for --set:\n" + sim::settings_help());
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    if (rc != 0) std::fprintf(stderr, "%s", app.help().c_str());
    return rc == 0 ? 0 : 2;
  }

  std::string error;
  for (const std::string& v : faults) {
    auto rule = sim::parse_fault(v, &error);
    if (!rule) {
      std::fprintf(stderr, "ffsload-sim: %s\n", error.c_str());
      return 2;
    }
    line.faults().add(*rule);
  }
  if (!random.empty()) {
    auto parsed = sim::parse_random_faults(random, &error);
    if (!parsed) {
      std::fprintf(stderr, "ffsload-sim: %s\n", error.c_str());
      return 2;
    }
    line.faults().set_random(*parsed);
    random_faults = true;
  }
  for (const std::string& v : settings) {
    auto eq = v.find('=');
    if (eq == std::string::npos ||
        !sim::apply_setting(handset.state(), v.substr(0, eq), v.substr(eq + 1), &error)) {
      std::fprintf(stderr, "ffsload-sim: %s\n",
                   eq == std::string::npos ? "--set takes KEY=VALUE" : error.c_str());
      return 2;
    }
  }

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

  platform::catch_stop_signals(/*restart=*/false);

  std::printf("%s\n", server.device_path().c_str());
  std::fflush(stdout);

  server.serve(platform::stop_requested, verbose ? stderr : nullptr);

  if (random_faults) {
    std::string counts;
    for (sim::FaultKind kind : sim::kAllFaultKinds) {
      if (int n = line.faults().committed(kind)) {
        counts += std::string(counts.empty() ? "" : ", ") + sim::fault_kind_name(kind) + " " +
                  std::to_string(n);
      }
    }
    std::fprintf(stderr, "ffsload-sim: %d requests, %d faults committed%s%s%s\n",
                 line.received_count(), line.faults().committed_total(),
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
