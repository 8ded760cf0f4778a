// Checking that a person is who they say: their id (or badge), their PIN,
// their role. Too many wrong PINs in a row lock the id out for a while; each
// try is counted on disk before the PIN is even checked, so that a process
// killed during the check has spent it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "people/database.h"
#include "people/pin.h"
#include "people/roles.h"
#include "people/roster.h"

namespace people {

struct LoginRules {
  int tries = 5;  // wrong PINs in a row that lock the id out
  std::int64_t lockout_ms = 15 * 60 * 1000;
  PinCost cost = station_pin_cost();
};

enum class Verdict { kAccepted, kUnknown, kRemoved, kLocked, kLockedOut, kWrongPin, kRoleTooLow };

struct PinCheck {
  Verdict verdict = Verdict::kUnknown;
  std::optional<Person> person;  // found by the id or badge given
  // For the person at the station, never quoting the PIN: "wrong PIN for
  // anna (3 tries left)".
  std::string message;
  bool accepted() const { return verdict == Verdict::kAccepted; }
};

// What the check is for. A login leaves its own event in the audit trail
// ("login", "failed login"); a privileged action's check leaves none (the
// action's one event says accepted or refused), except a lock-out's "lock".
enum class CheckFor { kLogin, kAction };

// `who`: an id, else a badge code. `station`: whose chain the events join.
PinCheck check_person(Database& db, const std::string& who, const Pin& pin, Role needed,
                      CheckFor purpose, const LoginRules& rules, std::int64_t now_ms,
                      const std::string& station);

}  // namespace people
