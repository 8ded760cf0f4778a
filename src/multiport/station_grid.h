// The station grid without a toolkit: one tile per port, each port's runs in
// its own "ffsload run --port N --customer KEY --repeat" child started in the
// port's folder (station/port_folders.h) and watched by a PortSupervisor. A front end
// shows the tiles, forwards Run, Run all, Save and closing, and calls poll()
// often; nothing here ever waits for a child.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "multiport/grid_tile.h"
#include "multiport/port_supervisor.h"
#include "platform/serial_port_config.h"
#include "run/run_session.h"
#include "station/customer_choice.h"
#include "station/station_settings.h"

namespace multiport {

class StationGrid {
 public:
  // How a port's child is started: the program and its arguments for a port
  // and a customer key. The default runs this program's repeat mode.
  using ChildCommand =
      std::function<std::vector<std::string>(int port, const std::string& customer_key)>;

  // station: the start folder; ports: the tiles, in order; records_option:
  // --records as given (empty: where the station's runs record).
  StationGrid(std::string station, const std::vector<platform::ComportsPort>& ports,
              const std::string& records_option = "");

  // Replaces the child (tests start fake children): argv[0] is the program.
  void set_child_command(ChildCommand command) { command_ = std::move(command); }
  void set_silence_limit_ms(long ms) { supervisor_.set_silence_limit_ms(ms); }

  // Chooses the customer for every tile, as the selection panel does. While
  // a run is under way the choice stays as it is. Children waiting with
  // another customer are asked to quit; the next Run starts them anew.
  // False with the reason in *error (the customer is then unset).
  bool choose_customer(int customer, int sub_number, std::string* error);
  const station::CustomerChoice& customer() const { return customer_; }
  bool customer_chosen() const { return !customer_.script.empty() && customer_.error.empty(); }

  std::vector<GridTile>& tiles() { return tiles_; }
  const GridTile* tile(int port) const;

  // The station's settings of "ffsload.conf": whether a run needs the unit's
  // serial or the operator's id (the children read the same file).
  void set_settings(const station::StationSettings& settings) { settings_ = settings; }
  const station::StationSettings& settings() const { return settings_; }
  // The operator's id for every port's runs (asked once for the grid).
  // Children waiting with another are asked to quit, as for a new customer.
  // False with the reason in *error when the id cannot be used.
  bool set_operator(const std::string& id, std::string* error);
  const std::optional<std::string>& operator_id() const { return operator_; }

  // Run on one tile: starts its child (the child's first run) or lets the
  // waiting child run again, with the unit's serial when given (a scan into
  // the tile). False when the tile is busy or no customer is chosen; a tile
  // whose child is still ending runs once it has ended. A serial the station
  // does not take, or none where one is required, runs nothing: the tile's
  // unit status says why.
  bool run(int port, const std::optional<std::string>& unit = std::nullopt);
  // Run on every tile that is not running; returns how many started.
  int run_all();
  bool any_run_under_way() const;
  // The operator's answer to the tile's pending-IMEI question: Yes gives the
  // handset the pending IMEI, No keeps it aside. While the question waits the
  // child is not taken for hung. False when no question waits on that tile.
  bool answer(int port, bool yes);

  // The tile's log into its port's folder, named as the run panel's Save names it.
  run::SavedLog save(int port);
  std::string port_folder(int port) const;

  // Hands on the children's output and ends, waiting at most timeout_ms.
  void poll(int timeout_ms);
  // Called after every change a front end should show.
  void on_change(std::function<void(int port)> callback) { changed_ = std::move(callback); }

  // Closing: every child is asked to quit; a run under way is stopped as a
  // SIGINT stops it (after the current command, never between a format and
  // the IMEI write-back). A second call asks again (the child's second SIGINT
  // ends it at once). finished() once every child has ended.
  void close();
  bool closing() const { return closing_; }
  bool finished() const { return supervisor_.running_count() == 0; }

 private:
  GridTile* find(int port);
  bool start_child(GridTile& tile, const std::optional<std::string>& unit);
  std::string children_key() const;
  void changed(int port);
  // The sound of what just happened on `tile`: a run ended (PASS or FAIL),
  // or a question came up that waits for the operator.
  void sound_for(const GridTile& tile, int runs_before, bool was_asking);

  std::string station_;
  std::vector<GridTile> tiles_;
  // Ports whose Run waits for a child to end, with the unit scanned for it.
  std::vector<std::pair<int, std::optional<std::string>>> pending_runs_;
  // Port folders made ahead by run_all, taken by start_child.
  std::map<int, std::string> prepared_folders_;
  station::StationSettings settings_;
  std::optional<std::string> operator_;
  station::CustomerChoice customer_;
  std::string children_key_;  // the customer the children were started with
  ChildCommand command_;
  PortSupervisor supervisor_;
  std::function<void(int)> changed_;
  bool closing_ = false;
};

}  // namespace multiport
