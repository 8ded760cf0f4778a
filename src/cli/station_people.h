// The station's people as the command line reaches them: where they live
// (the records location), the login rules of ffsload.conf, the station's
// name in the audit trail; and the checks every privileged subcommand
// shares, so that each asks the same way and says no the same way.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "people/database.h"
#include "people/pin_check.h"
#include "people/privileged_action.h"
#include "station/station_settings.h"

namespace cli {

struct StationPeople {
  std::string location;  // the records location (a SQLite path or a URL)
  people::LoginRules rules;
  std::string station;
};

// What hashing a new PIN costs in this process: the station's, unless a
// test (which hashes many) says otherwise.
void use_pin_cost(const people::PinCost& cost);

// records_option: --records, "" for the usual precedence.
StationPeople station_people(const std::string& records_option,
                             const station::StationSettings& settings);

// Whether the store is a SQLite file that is not there yet: nobody was
// added and nothing happened, which a reader tells as such.
bool store_not_made_yet(const StationPeople& where);

// Opens the people's store, or says why not on stderr (null).
std::unique_ptr<people::Database> open_people(const StationPeople& where, people::Access access);

// Now, for PINs' lock-outs and the trail.
std::int64_t now_ms();

// With login = required the windows (the panels, the grid) do not open:
// they take no login yet, and a run there would name nobody checked. True,
// said on stderr, when they must not.
bool windows_wait_for_login();

// A privileged action asked for on the command line (--by ID, its PIN from
// pin_fd or the terminal, --reason): checked, and the attempt recorded.
// False with the refusal on stderr, exit status 2 for the caller.
bool authorize_on_command_line(const StationPeople& where, const std::string& by,
                               std::optional<int> pin_fd, const people::Action& action);

// The same action, accepted, that could not then be done: its second event.
void record_failed_action(const StationPeople& where, const std::string& by,
                          const people::Action& action, const std::string& why);

}  // namespace cli
