// The station's queue of factory-network (IPC-CFX) messages as the board's
// header shows it: waiting, the oldest, set aside, last delivered.
#pragma once

#include <string>

namespace board {

// {"queue":true,"waiting":3,"set_aside":0,"oldest_waiting":"2024-...Z",
//  "last_delivered":"2024-...Z"} (times null when unknown); {"queue":false}
// when the folder has no queue, with "error" when it cannot be read.
std::string cfx_status_json(const std::string& station_folder);

}  // namespace board
