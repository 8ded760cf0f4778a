// What a person may do at a station: each role may do what the ones below
// it may. An operator runs units; a technician also keeps a pending IMEI
// aside, restores a kept one and resolves a damaged journal; an engineer
// also manages the people (and releases).
#pragma once

#include <optional>
#include <string>

namespace people {

enum class Role { kOperator = 0, kTechnician = 1, kEngineer = 2 };

// "operator", "technician", "engineer": as stored and typed.
const char* role_name(Role role);
std::optional<Role> role_from_name(const std::string& name);

// "an operator", "a technician", "an engineer"
std::string role_with_article(Role role);

inline bool role_covers(Role held, Role needed) {
  return static_cast<int>(held) >= static_cast<int>(needed);
}

}  // namespace people
