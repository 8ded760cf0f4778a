#include "people/people_changes.h"

#include <functional>

#include "people/audit_trail.h"
#include "people/roster.h"
#include "platform/date_time.h"

namespace people {

namespace {

// One change: `plan` looks at the roster under the transaction and says
// what would change (filling the event) or why it cannot; `apply` makes it.
struct Plan {
  std::string problem;  // "" when the change can be made
  AuditEvent event;
  std::function<void(Roster&)> apply;
};

Change finish(Database& db, const std::optional<ActingPerson>& by, Role needed,
              const std::string& station, const LoginRules& rules, std::int64_t now_ms,
              const std::function<Plan(Roster&, const std::string& actor)>& plan_for) {
  Change change;
  if (by && by->reason) {
    if (std::string why = text_problem("the reason", *by->reason, kLongestReason); !why.empty()) {
      change.message = why;
      return change;
    }
  }
  std::string actor = by ? by->id : "";
  if (by) {
    const PinCheck check = check_person(db, by->id, *by->pin, needed, CheckFor::kAction, rules,
                                        now_ms, station);
    if (check.person) actor = check.person->id;
    if (!check.accepted()) {
      Roster roster(db);
      Plan refused = plan_for(roster, actor);
      refused.event.station = station;
      refused.event.actor = actor;
      refused.event.why = by->reason;
      refused.event.outcome = "refused: " + check.message;
      record_event(db, refused.event);
      change.result = Change::Result::kRefused;
      change.message = check.message;
      return change;
    }
  }
  Transaction transaction(db, chain_lock(station));
  Roster roster(db);
  Plan plan = plan_for(roster, actor);
  plan.event.station = station;
  plan.event.actor = actor.empty() ? std::nullopt : std::optional<std::string>(actor);
  if (by) plan.event.why = by->reason;
  if (!plan.problem.empty()) {
    plan.event.outcome = "failed: " + plan.problem;
    append_event(db, plan.event);
    transaction.commit();
    change.result = Change::Result::kInvalid;
    change.message = plan.problem;
    return change;
  }
  plan.apply(roster);
  plan.event.outcome = "accepted";
  append_event(db, plan.event);
  transaction.commit();
  change.result = Change::Result::kDone;
  change.message = plan.event.what.value_or("");
  return change;
}

std::string state_of(const Person& p, std::int64_t now_ms) {
  if (p.removed()) return "removed";
  std::string state = std::string(role_name(p.role)) + ", ";
  if (p.locked) return state + "locked";
  if (p.locked_out(now_ms)) return state + "locked out until " + records::iso8601_utc(p.locked_until_ms);
  return state + "unlocked";
}

// A plan's opening: the person must be there and not removed.
bool present(Roster& roster, const std::string& id, Plan& plan, std::optional<Person>* found) {
  *found = roster.find(id);
  if (!*found) {
    plan.problem = "no person \"" + id + "\" here";
    return false;
  }
  if ((*found)->removed()) {
    plan.problem = id + " was removed on " + (*found)->removed_at.value_or("");
    return false;
  }
  return true;
}

// An engineer locked or removed while no other engineer could act would
// leave nobody to manage the people.
bool last_engineer(Roster& roster, const Person& person) {
  return person.role == Role::kEngineer && !person.locked && roster.acting_engineers() <= 1;
}

}  // namespace

Change add_person(Database& db, const NewPerson& person, const Pin& pin,
                  const std::optional<ActingPerson>& by, const LoginRules& rules,
                  std::int64_t now_ms, const std::string& station) {
  Change change;
  if (std::string why = id_problem("the id", person.id); !why.empty()) {
    change.message = why;
    return change;
  }
  if (person.badge) {
    if (std::string why = id_problem("the badge", *person.badge); !why.empty()) {
      change.message = why;
      return change;
    }
  }
  if (std::string why = text_problem("the name", person.name, kLongestName); !why.empty()) {
    change.message = why;
    return change;
  }
  if (std::string why = pin_problem(pin); !why.empty()) {
    change.message = why;
    return change;
  }
  if (!by) {
    // Read outside the transaction only to choose the message; the plan
    // looks again under it.
    Roster roster(db);
    if (roster.anyone()) {
      change.result = Change::Result::kRefused;
      change.message = "this store has people: an engineer must add the next (--by ID)";
      return change;
    }
    if (person.role != Role::kEngineer) {
      change.message = "the first person of a station is an engineer (--role engineer)";
      return change;
    }
  }
  // Hashed before the transaction, which would otherwise hold the chain
  // for the hash's time.
  const std::string hash = hash_pin(pin, rules.cost);
  const bool first = !by.has_value();
  return finish(db, by, Role::kEngineer, station, rules, now_ms,
                [&](Roster& roster, const std::string&) {
                  Plan plan;
                  plan.event.kind = kind::kPeople;
                  plan.event.subject = person.id;
                  plan.event.what = std::string("add ") + role_name(person.role) + " " + person.id +
                                    (first ? " (the station's first person)" : "");
                  plan.event.after_state = std::string(role_name(person.role)) +
                                           (person.name.empty() ? "" : ", name " + person.name) +
                                           (person.badge ? ", with a badge" : "");
                  if (first && roster.anyone()) {
                    plan.problem = "someone was added meanwhile: an engineer must add the next";
                  } else if (const auto existing = roster.find(person.id)) {
                    plan.problem = existing->removed()
                                       ? person.id + " was removed on " +
                                             existing->removed_at.value_or("") +
                                             "; an id is never given again: choose another"
                                       : person.id + " is already here";
                  } else if (person.badge && roster.find_by_badge(*person.badge)) {
                    plan.problem = "that badge is already someone's";
                  }
                  plan.apply = [&](Roster& r) {
                    Person p;
                    p.id = person.id;
                    p.name = person.name;
                    p.role = person.role;
                    p.badge = person.badge;
                    p.pin_hash = hash;
                    p.added_at = records::iso8601_utc(now_ms);
                    r.add(p);
                  };
                  return plan;
                });
}

Change set_person_pin(Database& db, const std::string& id, const Pin& pin, const ActingPerson& by,
                      const LoginRules& rules, std::int64_t now_ms, const std::string& station) {
  Change change;
  if (std::string why = pin_problem(pin); !why.empty()) {
    change.message = why;
    return change;
  }
  const std::string hash = hash_pin(pin, rules.cost);
  // Their own PIN anyone may change, knowing the old one; another's an engineer.
  Role needed = Role::kEngineer;
  {
    Roster roster(db);
    const auto acting = roster.find_by_id_or_badge(by.id);
    if (acting && acting->id == id) needed = Role::kOperator;
  }
  return finish(db, by, needed, station, rules, now_ms, [&](Roster& roster, const std::string&) {
    Plan plan;
    plan.event.kind = kind::kPeople;
    plan.event.subject = id;
    plan.event.what = "set the PIN of " + id;
    std::optional<Person> person;
    if (!present(roster, id, plan, &person)) return plan;
    plan.apply = [&](Roster& r) { r.set_pin_hash(id, hash); };
    return plan;
  });
}

Change lock_person(Database& db, const std::string& id, const ActingPerson& by,
                   const LoginRules& rules, std::int64_t now_ms, const std::string& station) {
  return finish(db, by, Role::kEngineer, station, rules, now_ms,
                [&](Roster& roster, const std::string&) {
                  Plan plan;
                  plan.event.kind = kind::kLock;
                  plan.event.subject = id;
                  plan.event.what = "lock " + id;
                  std::optional<Person> person;
                  if (!present(roster, id, plan, &person)) return plan;
                  plan.event.before_state = state_of(*person, now_ms);
                  plan.event.after_state = std::string(role_name(person->role)) + ", locked";
                  if (person->locked) {
                    plan.problem = id + " is locked already";
                  } else if (last_engineer(roster, *person)) {
                    plan.problem = id + " is the last engineer who can act: add another first";
                  }
                  plan.apply = [&](Roster& r) { r.set_locked(id, true); };
                  return plan;
                });
}

Change unlock_person(Database& db, const std::string& id, const ActingPerson& by,
                     const LoginRules& rules, std::int64_t now_ms, const std::string& station) {
  return finish(db, by, Role::kEngineer, station, rules, now_ms,
                [&](Roster& roster, const std::string&) {
                  Plan plan;
                  plan.event.kind = kind::kUnlock;
                  plan.event.subject = id;
                  plan.event.what = "unlock " + id;
                  std::optional<Person> person;
                  if (!present(roster, id, plan, &person)) return plan;
                  plan.event.before_state = state_of(*person, now_ms);
                  plan.event.after_state = std::string(role_name(person->role)) + ", unlocked";
                  if (!person->locked && !person->locked_out(now_ms) && person->failed_pins == 0) {
                    plan.problem = id + " is not locked";
                  }
                  plan.apply = [&](Roster& r) { r.set_locked(id, false); };
                  return plan;
                });
}

Change remove_person(Database& db, const std::string& id, const ActingPerson& by,
                     const LoginRules& rules, std::int64_t now_ms, const std::string& station) {
  return finish(db, by, Role::kEngineer, station, rules, now_ms,
                [&](Roster& roster, const std::string&) {
                  Plan plan;
                  plan.event.kind = kind::kPeople;
                  plan.event.subject = id;
                  plan.event.what = "remove " + id;
                  std::optional<Person> person;
                  if (!present(roster, id, plan, &person)) return plan;
                  plan.event.before_state = state_of(*person, now_ms);
                  plan.event.after_state = "removed";
                  if (last_engineer(roster, *person)) {
                    plan.problem = id + " is the last engineer who can act: add another first";
                  }
                  plan.apply = [&](Roster& r) { r.remove(id, records::iso8601_utc(now_ms)); };
                  return plan;
                });
}

}  // namespace people
