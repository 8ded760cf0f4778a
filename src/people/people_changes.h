// Adding and changing the people: an engineer's work, each change checked
// against the engineer's PIN and stored in one transaction with its event
// in the audit trail, refused attempts leaving their event too. The first
// person of a store nobody was ever added to is an engineer and needs no
// one's word; after that there is always an engineer who can act.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "people/database.h"
#include "people/pin.h"
#include "people/pin_check.h"
#include "people/roles.h"

namespace people {

// Who asks for a change: an id (or badge) and their PIN, with a reason.
struct ActingPerson {
  std::string id;
  const Pin* pin = nullptr;
  std::optional<std::string> reason;
};

// The longest name and reason kept.
constexpr std::size_t kLongestName = 128;
constexpr std::size_t kLongestReason = 1000;

struct Change {
  enum class Result { kDone, kRefused, kInvalid } result = Result::kInvalid;
  std::string message;  // what was done, or why not
  bool done() const { return result == Result::kDone; }
};

struct NewPerson {
  std::string id;
  Role role = Role::kOperator;
  std::string name;
  std::optional<std::string> badge;
};

// by: absent only for the first person of a store nobody was ever added to.
Change add_person(Database& db, const NewPerson& person, const Pin& pin,
                  const std::optional<ActingPerson>& by, const LoginRules& rules,
                  std::int64_t now_ms, const std::string& station);
// An engineer sets anyone's PIN; anyone sets their own with their old PIN.
Change set_person_pin(Database& db, const std::string& id, const Pin& pin, const ActingPerson& by,
                      const LoginRules& rules, std::int64_t now_ms, const std::string& station);
Change lock_person(Database& db, const std::string& id, const ActingPerson& by,
                   const LoginRules& rules, std::int64_t now_ms, const std::string& station);
// Also forgives wrong PINs and ends a lock-out.
Change unlock_person(Database& db, const std::string& id, const ActingPerson& by,
                     const LoginRules& rules, std::int64_t now_ms, const std::string& station);
// The id stays taken (the records and the trail name it), without PIN or badge.
Change remove_person(Database& db, const std::string& id, const ActingPerson& by,
                     const LoginRules& rules, std::int64_t now_ms, const std::string& station);

}  // namespace people
