#include "people/privileged_action.h"

#include "people/audit_trail.h"

namespace people {

namespace {

AuditEvent action_event(const std::string& actor, const Action& action, const std::string& outcome,
                        const std::string& station) {
  AuditEvent e;
  e.station = station;
  e.kind = kind::kPrivileged;
  e.actor = actor;
  e.what = action.what;
  e.why = action.why;
  e.before_state = action.before_state;
  e.after_state = action.after_state;
  e.outcome = outcome;
  return e;
}

}  // namespace

Authorization authorize(Database& db, const std::string& by, const Pin& pin, const Action& action,
                        const LoginRules& rules, std::int64_t now_ms, const std::string& station) {
  const PinCheck check =
      check_person(db, by, pin, action.needed, CheckFor::kAction, rules, now_ms, station);
  Authorization result;
  result.accepted = check.accepted();
  result.message = check.message;
  result.person = check.person ? check.person->id : by;
  record_event(db, action_event(result.person, action,
                                result.accepted ? "accepted" : "refused: " + check.message,
                                station));
  return result;
}

void record_action_failed(Database& db, const std::string& by, const Action& action,
                          const std::string& why, const std::string& station) {
  record_event(db, action_event(by, action, "failed: " + why, station));
}

}  // namespace people
