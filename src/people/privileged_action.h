// A privileged action asks for the acting person's PIN again, and their
// role: each attempt, accepted or refused, leaves one event in the audit
// trail with who, when, what, why and the state before and after; the event
// of an accepted one is on disk before the action begins.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "people/database.h"
#include "people/pin.h"
#include "people/pin_check.h"
#include "people/roles.h"

namespace people {

struct Action {
  Role needed = Role::kEngineer;
  std::string what;  // "keep the pending IMEI 5302... aside on port 3"
  std::optional<std::string> why;
  std::optional<std::string> before_state;
  std::optional<std::string> after_state;  // asked for
};

struct Authorization {
  bool accepted = false;
  std::string message;  // why not, for the person at the station
  std::string person;   // the acting person's id, when found
};

// Checks `by` (an id or badge) with `pin` for `action`, and records the
// attempt in `station`'s chain.
Authorization authorize(Database& db, const std::string& by, const Pin& pin, const Action& action,
                        const LoginRules& rules, std::int64_t now_ms, const std::string& station);

// An accepted action that could not then be done: its second event.
void record_action_failed(Database& db, const std::string& by, const Action& action,
                          const std::string& why, const std::string& station);

}  // namespace people
