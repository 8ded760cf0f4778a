#include "multiport/multi_port_run.h"

#include <signal.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "multiport/port_supervisor.h"
#include "platform/child_process.h"
#include "platform/folders.h"
#include "platform/stop_signals.h"
#include "records/location.h"
#include "records/store.h"
#include "run/exit_status.h"
#include "station/port_folders.h"
#include "station/run_journal.h"

namespace multiport {

using run::kExitGreen;
using run::kExitNoRun;
using run::kExitNotSaved;
using run::kExitRed;

namespace {

std::optional<int> port_number(const std::string& text) {
  if (text.empty() || text.size() > 2) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  const int n = std::atoi(text.c_str());
  if (n < 1 || n > 8) return std::nullopt;
  return n;
}

struct PortOutcome {
  bool ended = false;
  ChildEnd end;
};

std::string summary(const PortOutcome& o) {
  if (!o.ended) return "not started";
  if (o.end.signal_number != 0 || o.end.hung)
    return "red: the port's process " + describe_end(o.end);
  switch (o.end.exit_code) {
    case kExitGreen:
      return "green";
    case kExitRed:
      return "red";
    case kExitNoRun:
      return "no run";
    case kExitNotSaved:
      return "ran, but its log could not be saved";
    default:
      if (o.end.exit_code == 128 + SIGINT || o.end.exit_code == 128 + SIGTERM) {
        return "stopped by a signal";
      }
      return "red: the port's process ended with " + describe_end(o.end);
  }
}

}  // namespace

std::optional<std::vector<int>> parse_port_list(const std::string& text, std::string* error) {
  std::vector<int> ports;
  std::set<int> seen;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma - start);
    const std::size_t dash = item.find('-');
    auto first = port_number(item.substr(0, dash));
    auto last = dash == std::string::npos ? first : port_number(item.substr(dash + 1));
    if (!first || !last || *last < *first) {
      *error = "\"" + item + "\" is not a port from 1 to 8 or a range such as 5-8";
      return std::nullopt;
    }
    for (int p = *first; p <= *last; ++p) {
      if (!seen.insert(p).second) {
        *error = "port " + std::to_string(p) + " is named twice";
        return std::nullopt;
      }
      ports.push_back(p);
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return ports;
}

std::string port_program() {
  const std::string plain = platform::sibling_program("ffsload");
  return plain.empty() ? platform::program_path() : plain;
}

std::vector<std::pair<std::string, std::string>> station_records_environment(
    const std::string& option) {
  records::Location records = records::resolve_location(option);
  if (!records::is_postgres_url(records.url) && !records.url.empty()) {
    records.url = std::filesystem::absolute(records.url).string();
  }
  return {
      {records::kRecordsVariable, records.url},
      {records::kOutboxVariable, std::filesystem::absolute(records::outbox_location()).string()}};
}

std::vector<std::pair<std::string, std::string>> port_child_environment(
    const std::string& records_option, const std::string& station, const std::string& front_end) {
  auto environment = station_records_environment(records_option);
  environment.emplace_back(station::kStationFolderVariable,
                           std::filesystem::absolute(station).string());
  environment.emplace_back(station::kFrontEndVariable, front_end);
  return environment;
}

int run_on_ports(const std::vector<int>& ports, const std::vector<std::string>& child_args,
                 const std::string& trace_base, const std::string& records_option,
                 const PortRun& in_process) {
  const std::string station = std::filesystem::current_path().string();
  std::map<int, PortOutcome> outcomes;
  PortSupervisor supervisor(
      [](int port, bool from_stderr, const std::string& line) {
        // Flushed once a round of the wait below: the ports' lines that came
        // together go out in one write, not one write each.
        std::fprintf(from_stderr ? stderr : stdout, "[%d] %s\n", port, line.c_str());
      },
      [&](int port, const ChildEnd& end) {
        outcomes[port] = PortOutcome{true, end};
      });
  supervisor.set_silence_limit_ms(kPortSilenceLimitMs);
  supervisor.set_child_environment(port_child_environment(records_option, station, "ports"));

  // The children decide for themselves how to stop safely (never between a
  // format and the IMEI write-back); the supervisor hands signals on.
  catch_stop_signals();

  const std::string program = port_program();
  const bool copy_this_process = in_process && platform::threads_of_this_process() == 1;
  // A copy of this process makes its own port's folder: the copies start at
  // once and share the folder work between the cores, where the parent alone
  // would make every folder before the first port's run could begin. A new
  // program gets its folder ready-made, every folder first and then every
  // child, so that the children still start together.
  std::map<int, std::string> folders;
  std::map<int, std::string> errors;
  if (!copy_this_process) {
    for (int port : ports) {
      folders[port] = station::prepare_port_folder(station, port, &errors[port]);
    }
  }
  for (int port : ports) {
    std::string error = errors[port];
    bool started = false;
    if (copy_this_process) {
      started = supervisor.start_function(
          port,
          [&in_process, &station, port] {
            std::string why;
            const std::string folder = station::prepare_port_folder(station, port, &why);
            if (!folder.empty() && platform::SetDir(folder) != 0) {
              why = "cannot enter " + folder + ": " + std::strerror(errno);
            } else if (!folder.empty()) {
              return in_process(port);
            }
            std::fprintf(stderr, "Error: cannot start the port's run: %s\n", why.c_str());
            return kExitNoRun;
          },
          station, &error);
    } else {
      const std::string& folder = folders[port];
      std::vector<std::string> args = {"run", "--port", std::to_string(port)};
      args.insert(args.end(), child_args.begin(), child_args.end());
      if (!trace_base.empty()) args.push_back("--trace=" + trace_base + "." + std::to_string(port));
      started = !folder.empty() && supervisor.start(port, program, args, folder, &error);
    }
    if (!started) {
      std::fprintf(stderr, "[%d] Error: cannot start the port's run: %s\n", port, error.c_str());
      outcomes[port] = PortOutcome{true, ChildEnd{kExitNoRun, 0, false}};
    }
  }
  int forwarded = 0;
  while (supervisor.running_count() > 0) {
    supervisor.poll_once(200);
    std::fflush(stdout);
    std::fflush(stderr);
    while (forwarded < platform::stop_signal_count()) {
      ++forwarded;
      supervisor.signal_all(platform::last_stop_signal());
    }
  }

  bool all_green = true;
  bool any_run = false;
  for (int port : ports) {
    const PortOutcome& o = outcomes[port];
    const bool no_run =
        o.ended && o.end.signal_number == 0 && !o.end.hung && o.end.exit_code == kExitNoRun;
    any_run = any_run || !no_run;
    all_green = all_green && o.ended && o.end.signal_number == 0 && !o.end.hung &&
                o.end.exit_code == kExitGreen;
    std::fprintf(stderr, "ffsload: port %d: %s (files in %s/%d)\n", port, summary(o).c_str(),
                 station::kPortFoldersName, port);
  }
  if (platform::stop_signal_count() > 0) return 128 + platform::last_stop_signal();
  if (all_green) return kExitGreen;
  return any_run ? kExitRed : kExitNoRun;
}

}  // namespace multiport
