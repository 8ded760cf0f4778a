#include "cli/board_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/run_command.h"
#include "platform/child_process.h"
#include "platform/folders.h"
#include "records/fixture_alarm.h"
#include "records/location.h"
#include "station/station_settings.h"

namespace cli {

namespace {

constexpr int kBoardFailed = 1;
constexpr int kBoardUsage = 2;

BoardService g_service = nullptr;

struct BoardOptions {
  std::string listen = "127.0.0.1:8080";
  std::string records;
  int fixture_alarm = records::kDefaultFixtureAlarmRuns;
  bool fixture_alarm_given = false;
};

// "ADDR:PORT" or "[IPv6]:PORT"; false when it is neither.
bool split_listen(const std::string& text, std::string* host, int* port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return false;
  std::string address = text.substr(0, colon);
  if (address.front() == '[') {
    if (address.back() != ']' || address.size() < 3) return false;
    address = address.substr(1, address.size() - 2);
  } else if (address.find(':') != std::string::npos) {
    return false;  // IPv6 needs its brackets
  }
  const std::string digits = text.substr(colon + 1);
  if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const int number = std::stoi(digits);
  if (number > 65535) return false;
  *host = address;
  *port = number;
  return true;
}

int hand_to_board_program(int argc, char** argv) {
  const std::string program = platform::sibling_program(kBoardProgram);
  if (program.empty()) {
    const std::string folder = platform::program_folder();
    std::fprintf(stderr,
                 "ffsload: the board program %s is missing: looked in %s, %s/../bin and "
                 "%s/../libexec\n",
                 kBoardProgram, folder.c_str(), folder.c_str(), folder.c_str());
    return kBoardFailed;
  }
  std::vector<std::string> args(argv, argv + argc);
  args.front() = program;
  const std::string why = platform::replace_process(program, args);
  std::fprintf(stderr, "ffsload: cannot start the board program %s: %s\n", program.c_str(),
               why.c_str());
  return kBoardFailed;
}

int board(const BoardOptions& o, int argc, char** argv) {
  BoardRequest request;
  if (!split_listen(o.listen, &request.host, &request.port)) {
    std::fprintf(stderr,
                 "ffsload: --listen takes ADDR:PORT (127.0.0.1:8080, 0.0.0.0:8080, [::1]:8080), "
                 "not \"%s\"\n",
                 o.listen.c_str());
    return kBoardUsage;
  }
  if (o.fixture_alarm < 0 || o.fixture_alarm > 100) {
    std::fprintf(stderr, "ffsload: --fixture-alarm takes a number of runs from 0 (off) to 100\n");
    return kBoardUsage;
  }
  if (!g_service) return hand_to_board_program(argc, argv);
  request.fixture_alarm = o.fixture_alarm;
  if (!o.fixture_alarm_given) {
    // In a station's folder the board follows the station's own setting.
    const station::StationSettingsFile file = station::read_station_settings();
    if (file.found) request.fixture_alarm = file.settings.fixture_alarm;
  }
  const records::Location location = records::resolve_location(o.records);
  for (const std::string& warning : location.warnings) {
    std::fprintf(stderr, "ffsload: %s\n", warning.c_str());
  }
  request.location = location.url;
  return g_service(request);
}

}  // namespace

void set_board_service(BoardService service) {
  g_service = service;
}

void add_board_command(CLI::App& app, int* status, int argc, char** argv) {
  auto options = std::make_shared<BoardOptions>();
  CLI::App* sub = app.add_subcommand(
      "board",
      "serve the line board: a read-only web page of every station and port that records to "
      "the store, updated live, with a JSON API");
  sub->add_option("--listen", options->listen,
                  "ADDR:PORT to serve on (default 127.0.0.1:8080; 0.0.0.0:PORT shares it on the "
                  "line's network; port 0 takes any free port)");
  sub->add_option("--records", options->records,
                  "the records: a SQLite file or a postgresql:// URL (default: "
                  "$FFSLOAD_RECORDS, else \"records = URL\" in ffsload.conf, else runs.sqlite)");
  CLI::Option* alarm = sub->add_option(
      "--fixture-alarm", options->fixture_alarm,
      "raise a port's fixture alarm after this many red runs in a row on as many units "
      "(default: \"fixture-alarm\" of ffsload.conf in the current folder, else 3; 0 turns it "
      "off)");
  sub->footer(
      "Exit status: 0 stopped by SIGINT or SIGTERM, 1 cannot listen (or no board program), 2 "
      "bad usage.");
  sub->callback([options, status, alarm, argc, argv] {
    options->fixture_alarm_given = alarm->count() > 0;
    *status = board(*options, argc, argv);
  });
}

}  // namespace cli
