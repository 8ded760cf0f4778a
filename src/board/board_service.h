// The board as a program runs it: listen, say where, poll the store and
// serve until SIGINT or SIGTERM, then stop every page and the poll.
#pragma once

#include <string>

namespace board {

struct ServiceOptions {
  std::string host = "127.0.0.1";
  int port = 8080;        // 0: any free port (the line printed names it)
  std::string location;   // the records, as resolved
  int fixture_alarm = 3;  // the alarm's K; 0 turns it off
};

// Exit statuses of the board.
constexpr int kServiceStopped = 0;
constexpr int kServiceCannotListen = 1;

// Prints "ffsload board: the records LOCATION on http://HOST:PORT/" on
// stdout once it listens (the location without its password), and returns
// when a stop signal arrives.
int serve(const ServiceOptions& options);

}  // namespace board
