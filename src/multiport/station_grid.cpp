#include "multiport/station_grid.h"

#include <signal.h>

#include <algorithm>
#include <filesystem>

#include "multiport/multi_port_run.h"
#include "platform/folders.h"
#include "platform/operator_text.h"
#include "platform/sounds.h"
#include "station/port_folders.h"

namespace multiport {

StationGrid::StationGrid(std::string station, const std::vector<platform::ComportsPort>& ports,
                         const std::string& records_option)
    : station_(std::move(station)),
      supervisor_(
          [this](int port, bool from_stderr, const std::string& line) {
            GridTile* tile = find(port);
            if (!tile) return;
            const bool was_asking = !tile->question().empty();
            const int runs_before = tile->runs();
            // Between runs, or with a question on the tile, the child waits
            // for the operator, not for the wire.
            if (tile->child_line(from_stderr, line)) supervisor_.watch_silence(port, false);
            if (!was_asking && !tile->question().empty()) supervisor_.watch_silence(port, false);
            sound_for(*tile, runs_before, was_asking);
            changed(port);
          },
          [this](int port, const ChildEnd& end) {
            GridTile* tile = find(port);
            if (!tile) return;
            if (closing_) tile->quitting();
            const int runs_before = tile->runs();
            tile->child_ended(end);
            sound_for(*tile, runs_before, true);
            auto pending = std::find_if(pending_runs_.begin(), pending_runs_.end(),
                                        [port](const auto& p) { return p.first == port; });
            if (pending != pending_runs_.end()) {
              const std::optional<std::string> unit = pending->second;
              pending_runs_.erase(pending);
              start_child(*tile, unit);
            }
            changed(port);
          }) {
  for (const auto& p : ports) tiles_.emplace_back(p.port, p.device);
  command_ = [](int port, const std::string& key) {
    return std::vector<std::string>{port_program(), "run", "--port",  std::to_string(port),
                                    "--customer",   key,   "--repeat"};
  };
  supervisor_.set_silence_limit_ms(kPortSilenceLimitMs);
  supervisor_.set_child_environment(port_child_environment(records_option, station_, "grid"));
}

GridTile* StationGrid::find(int port) {
  for (auto& t : tiles_) {
    if (t.port() == port) return &t;
  }
  return nullptr;
}

const GridTile* StationGrid::tile(int port) const {
  for (const auto& t : tiles_) {
    if (t.port() == port) return &t;
  }
  return nullptr;
}

void StationGrid::changed(int port) {
  if (changed_) changed_(port);
}

bool StationGrid::any_run_under_way() const {
  return std::any_of(tiles_.begin(), tiles_.end(),
                     [](const GridTile& t) { return t.stage() == TileStage::kRunning; });
}

bool StationGrid::choose_customer(int customer, int sub_number, std::string* error) {
  if (any_run_under_way()) {
    *error = platform::OperatorText{"grid.customer_stays", {}}.english();
    return false;
  }
  customer_ = station::look_up_customer(customer, sub_number);
  if (!customer_.error.empty()) {
    *error = customer_.error;
    return false;
  }
  if (children_key() != children_key_) {
    children_key_ = children_key();
    // A waiting child runs the customer it was started with: it makes way.
    for (auto& t : tiles_) {
      if (t.stage() != TileStage::kWaiting) continue;
      supervisor_.send(t.port(), "q\n");
      t.quitting();
      changed(t.port());
    }
  }
  return true;
}

std::string StationGrid::children_key() const {
  // A NUL cannot be in either: the two never run together.
  return customer_.key + std::string(1, '\0') + operator_.value_or("");
}

bool StationGrid::set_operator(const std::string& id, std::string* error) {
  if (std::string why = station::operator_id_problem(id); !why.empty()) {
    *error = why;
    return false;
  }
  if (any_run_under_way()) {
    *error = platform::OperatorText{"grid.operator_stays", {}}.english();
    return false;
  }
  operator_ = id;
  if (children_key() != children_key_ && !children_key_.empty()) {
    children_key_ = children_key();
    for (auto& t : tiles_) {
      if (t.stage() != TileStage::kWaiting) continue;
      supervisor_.send(t.port(), "q\n");
      t.quitting();
      changed(t.port());
    }
  }
  return true;
}

void StationGrid::sound_for(const GridTile& tile, int runs_before, bool was_asking) {
  if (tile.runs() > runs_before) {
    platform::play_sound(tile.state() == platform::RunState::kPass ? platform::Sound::kPass
                                                                   : platform::Sound::kFail);
  } else if (!was_asking && !tile.question().empty()) {
    platform::play_sound(platform::Sound::kQuestion);
  }
}

std::string StationGrid::port_folder(int port) const {
  return (std::filesystem::path(station_) / station::kPortFoldersName / std::to_string(port))
      .string();
}

bool StationGrid::start_child(GridTile& tile, const std::optional<std::string>& unit) {
  tile.run_started();
  children_key_ = children_key();
  std::string error;
  std::string folder;
  if (auto ready = prepared_folders_.find(tile.port()); ready != prepared_folders_.end()) {
    folder = ready->second;
    prepared_folders_.erase(ready);
  } else {
    folder = station::prepare_port_folder(station_, tile.port(), &error);
  }
  std::vector<std::string> args = command_(tile.port(), customer_.key);
  const std::string program = args.front();
  args.erase(args.begin());
  if (operator_) args.push_back("--operator=" + *operator_);
  if (unit) args.push_back("--unit=" + *unit);
  if (folder.empty() || !supervisor_.start(tile.port(), program, args, folder, &error)) {
    const int runs_before = tile.runs();
    tile.start_failed(error);
    sound_for(tile, runs_before, true);
    return false;
  }
  // A child that asks each unit's serial asks for the first one too: no
  // serial is the answer of an empty line.
  if (!unit && settings_.unit_serial != station::Asking::kOff) supervisor_.send(tile.port(), "\n");
  supervisor_.watch_silence(tile.port(), true);
  return true;
}

bool StationGrid::run(int port, const std::optional<std::string>& unit) {
  GridTile* tile = find(port);
  if (!tile || closing_ || !customer_chosen()) return false;
  // A scan while the tile's run is under way is dropped, never kept for the
  // next unit.
  if (tile->stage() == TileStage::kRunning) return false;
  std::string refusal;
  if (settings_.operator_id == station::Asking::kRequired && !operator_) {
    refusal = platform::OperatorText{"grid.operator_required", {}}.english();
  } else if (unit && settings_.unit_serial != station::Asking::kOff) {
    if (std::string why = station::unit_serial_problem(settings_, *unit); !why.empty()) {
      refusal = platform::OperatorText{"grid.unit_refused", {why}}.english();
    }
  } else if (!unit && settings_.unit_serial == station::Asking::kRequired) {
    refusal = platform::OperatorText{"grid.scan_first", {}}.english();
  }
  if (!refusal.empty()) {
    tile->set_unit_status(refusal);
    changed(port);
    return false;
  }
  bool started = false;
  switch (tile->stage()) {
    case TileStage::kRunning:
      return false;
    case TileStage::kQuitting:
      if (std::any_of(pending_runs_.begin(), pending_runs_.end(),
                      [port](const auto& p) { return p.first == port; }))
        return false;
      pending_runs_.emplace_back(port, unit);
      tile->run_pending();
      started = true;
      break;
    case TileStage::kNoChild:
      started = start_child(*tile, unit);
      break;
    case TileStage::kWaiting:
      tile->run_started();
      supervisor_.watch_silence(port, true);
      // A child that is gone already shows as ended at the next poll. One
      // that asks each unit's serial gets it (checked above: no line end
      // inside) or an empty line for none.
      supervisor_.send(
          port, (settings_.unit_serial != station::Asking::kOff && unit ? *unit : "") + "\n");
      started = true;
      break;
  }
  changed(port);
  return started;
}

int StationGrid::run_all() {
  // Every folder is made before the first child starts, so that the
  // children start together rather than each after the next one's folder
  // was made in competition with the runs already going.
  prepared_folders_.clear();
  if (!closing_ && customer_chosen()) {
    for (const auto& t : tiles_) {
      if (t.stage() != TileStage::kNoChild) continue;
      std::string error;
      const std::string folder = station::prepare_port_folder(station_, t.port(), &error);
      if (!folder.empty()) prepared_folders_[t.port()] = folder;
    }
  }
  int started = 0;
  for (auto& t : tiles_) {
    if (t.stage() != TileStage::kRunning && run(t.port())) ++started;
  }
  prepared_folders_.clear();
  return started;
}

bool StationGrid::answer(int port, bool yes) {
  GridTile* tile = find(port);
  if (!tile || tile->question().empty() || closing_) return false;
  if (!supervisor_.send(port, yes ? "yes\n" : "no\n")) return false;
  tile->clear_question();
  supervisor_.watch_silence(port, true);
  changed(port);
  return true;
}

run::SavedLog StationGrid::save(int port) {
  const GridTile* t = tile(port);
  const std::string folder = port_folder(port);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return run::save_log_lines(t ? t->log() : std::vector<std::string>{}, folder);
}

void StationGrid::poll(int timeout_ms) {
  supervisor_.poll_once(timeout_ms);
}

void StationGrid::close() {
  closing_ = true;
  pending_runs_.clear();
  for (auto& t : tiles_) {
    if (!supervisor_.running(t.port())) continue;
    // A question left unanswered is no answer: the child stops before any format.
    t.clear_question();
    // The child stops its run where it is safe to, then leaves the repeat.
    if (t.stage() == TileStage::kRunning) supervisor_.signal_port(t.port(), SIGINT);
    supervisor_.send(t.port(), "q\n");
  }
}

}  // namespace multiport
