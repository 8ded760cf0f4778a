// Serves a simulated line on a new pseudo-terminal until told to stop.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "sim/simulated_line.h"

namespace sim {

class PtyServer {
 public:
  explicit PtyServer(SimulatedLine& line) : line_(line) {}
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Creates the pty; returns false with a reason in *error.
  bool open(std::string* error);
  // The slave's path: what the tool opens.
  const std::string& device_path() const { return slave_path_; }
  // Answers requests until stop_requested() says so or a hang-up fault closes the line.
  // log, when set, receives one line per request and reply.
  void serve(const std::function<bool()>& stop_requested, std::FILE* log);

 private:
  void transmit(const Transmission& t);
  SimulatedLine& line_;
  int master_ = -1;
  int slave_ = -1;
  std::string slave_path_;
};

}  // namespace sim
