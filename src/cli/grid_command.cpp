#include "cli/grid_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "cfx/endpoint_events.h"
#include "cli/run_command.h"
#include "cli/station_people.h"
#include "multiport/multi_port_run.h"
#include "multiport/station_grid.h"
#include "platform/serial_port_config.h"
#include "records/fixture_alarm.h"
#include "run/recording.h"
#include "station/customer_choice.h"
#include "station/station_settings.h"

namespace cli {

namespace {

struct GridOptions {
  std::string ports;
  std::string customer;
  std::string records;
  std::string operator_id;
};

// The ports' fixture alarms as the records hold them when the grid opens;
// later ones come from the ports' runs.
void show_fixture_alarms(multiport::StationGrid& grid, const GridOptions& o) {
  if (grid.settings().fixture_alarm <= 0) return;
  for (auto& tile : grid.tiles()) {
    const records::FixtureAlarm alarm =
        run::read_fixture_alarm(tile.port(), o.records, grid.settings().fixture_alarm);
    if (!alarm.raised) continue;
    std::string text = records::fixture_alarm_text(tile.port(), alarm);
    for (const std::string& line : records::failing_line_texts(alarm))
      text += "\nfailing line " + line;
    tile.set_fixture_alarm(text);
  }
}

int open_grid(const GridOptions& o, bool ports_given, const GridWindowOpener& open_window) {
  const platform::ComportsListing listing = platform::list_comports_ports();
  for (const auto& problem : listing.problems)
    std::fprintf(stderr, "ffsload: %s\n", problem.c_str());
  std::vector<platform::ComportsPort> ports;
  if (ports_given) {
    std::string error;
    const auto list = multiport::parse_port_list(o.ports, &error);
    if (!list) {
      std::fprintf(stderr, "ffsload: --ports: %s\n", error.c_str());
      return kExitNoRun;
    }
    for (int port : *list) ports.push_back({port, platform::device_path_for_port(port)});
  } else {
    ports = listing.ports;
  }
  if (ports.empty()) {
    std::fprintf(stderr,
                 "ffsload: no port to show: %s; list them as lines \"N PATH\" there or give "
                 "--ports\n",
                 listing.file_found ? "the file \"comports\" in this folder lists no usable port"
                                    : "this folder has no file \"comports\"");
    return kExitNoRun;
  }
  if (!records_usable(o.records)) return kExitNoRun;
  const station::StationSettingsFile settings = station::read_station_settings();
  if (const std::string refusal = settings.refusal(); !refusal.empty()) {
    std::fprintf(stderr, "ffsload: %s\n", refusal.c_str());
    return kExitNoRun;
  }
  multiport::StationGrid grid(std::filesystem::current_path().string(), ports, o.records);
  grid.set_settings(settings.settings);
  // The open grid speaks for the station on the factory's network; its
  // ports' runs queue their own messages.
  if (std::string error;
      !cfx::queue_endpoint_connected(".", settings.settings.cfx, run::now_utc_ms(), &error)) {
    std::fprintf(stderr, "ffsload: CFX: the grid's EndpointConnected could not be queued: %s\n",
                 error.c_str());
  }
  if (!o.operator_id.empty()) {
    std::string error;
    if (!grid.set_operator(o.operator_id, &error)) {
      std::fprintf(stderr, "ffsload: --operator: %s\n", error.c_str());
      return kExitNoRun;
    }
  }
  show_fixture_alarms(grid, o);
  if (!o.customer.empty()) {
    const auto key = station::parse_customer_key(o.customer);
    std::string error = "--customer takes N or N.S (N from -128 to 127, S one digit)";
    if (!key || !grid.choose_customer(key->first, key->second, &error)) {
      std::fprintf(stderr, "ffsload: customer \"%s\": %s\n", o.customer.c_str(), error.c_str());
      return kExitNoRun;
    }
  }
  return open_window(grid, listing.problems);
}

}  // namespace

void add_grid_command(CLI::App& app, int* status, GridWindowOpener open_window) {
  auto options = std::make_shared<GridOptions>();
  CLI::App* sub = app.add_subcommand(
      "grid",
      "one window with a tile per port, each port's runs in its own process and folder ports/N");
  auto* ports = sub->add_option("--ports", options->ports,
                                "the ports to show, e.g. 1,2,5-8 (default: every port that "
                                "\"comports\" in the current folder lists)");
  sub->add_option("--customer", options->customer,
                  "choose customer N, sub-number S, at the start (it can be changed in the "
                  "window between runs)");
  sub->add_option("--operator", options->operator_id,
                  "the operator's id for every port's records (else asked in the window where "
                  "ffsload.conf asks for it)");
  sub->add_option("--records", options->records,
                  "where every port's runs record (default: where \"ffsload run\" records in "
                  "this folder)");
  sub->footer(
      "Keys: Tab moves between the tiles, Enter runs the focused tile, Ctrl+S saves its log,\n"
      "Alt+A runs every idle tile, Alt+X or closing the window quits (runs under way stop\n"
      "after their current command, never between a format and the IMEI write-back).");
  sub->callback([options, ports, status, open_window] {
    if (windows_wait_for_login()) {
      *status = kExitNoRun;
      return;
    }
    *status = open_grid(*options, ports->count() > 0, open_window);
  });
}

}  // namespace cli
