#include "people/roles.h"

namespace people {

const char* role_name(Role role) {
  switch (role) {
    case Role::kOperator:
      return "operator";
    case Role::kTechnician:
      return "technician";
    case Role::kEngineer:
      break;
  }
  return "engineer";
}

std::string role_with_article(Role role) {
  return std::string(role == Role::kTechnician ? "a " : "an ") + role_name(role);
}

std::optional<Role> role_from_name(const std::string& name) {
  for (Role role : {Role::kOperator, Role::kTechnician, Role::kEngineer}) {
    if (name == role_name(role)) return role;
  }
  return std::nullopt;
}

}  // namespace people
