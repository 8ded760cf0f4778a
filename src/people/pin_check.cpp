#include "people/pin_check.h"

#include "people/audit_trail.h"
#include "platform/date_time.h"

namespace people {

namespace {

std::string tries_left(int left) {
  return std::to_string(left) + (left == 1 ? " try" : " tries") + " left";
}

// The event of a login's outcome, for `purpose` kLogin.
AuditEvent login_event(const std::string& who, const PinCheck& check, const std::string& station) {
  AuditEvent e;
  e.station = station;
  e.kind = check.accepted() ? kind::kLogin : kind::kFailedLogin;
  e.actor = check.person ? check.person->id : who;
  if (check.person) e.after_state = std::string("role ") + role_name(check.person->role);
  e.outcome = check.accepted() ? "accepted" : "refused: " + check.message;
  return e;
}

}  // namespace

PinCheck check_person(Database& db, const std::string& who, const Pin& pin, Role needed,
                      CheckFor purpose, const LoginRules& rules, std::int64_t now_ms,
                      const std::string& station) {
  Roster roster(db);
  PinCheck check;
  check.person = roster.find_by_id_or_badge(who);
  const auto refuse_unchecked = [&](Verdict verdict, std::string message) {
    check.verdict = verdict;
    check.message = std::move(message);
    if (purpose == CheckFor::kLogin) record_event(db, login_event(who, check, station));
    return check;
  };
  if (!check.person) return refuse_unchecked(Verdict::kUnknown, "no person \"" + who + "\" here");
  const Person& person = *check.person;
  if (person.removed()) {
    return refuse_unchecked(Verdict::kRemoved, person.id + " was removed on " + person.removed_at.value_or(""));
  }
  if (person.locked) {
    return refuse_unchecked(Verdict::kLocked,
                            person.id + " is locked: an engineer must unlock the id");
  }
  if (person.locked_out(now_ms)) {
    return refuse_unchecked(Verdict::kLockedOut,
                            person.id + " is locked out until " +
                                platform::local_date_time_text(person.locked_until_ms) +
                                " after " + std::to_string(rules.tries) + " wrong PINs");
  }
  int tries = 0;
  {
    Transaction count(db, "");
    // A lock-out that has run out forgives the wrong PINs before it.
    if (person.locked_until_ms != 0) roster.clear_tries(person.id);
    tries = roster.count_try(person.id);
    count.commit();
  }
  const bool right = pin_matches(pin, person.pin_hash);
  // Hashed again with today's limits while the PIN is at hand: before the
  // transaction, which would otherwise hold the chain for the hash's time.
  std::string rehashed;
  if (right && hashed_otherwise(person.pin_hash, rules.cost)) rehashed = hash_pin(pin, rules.cost);
  Transaction outcome(db, chain_lock(station));
  if (right) {
    roster.clear_tries(person.id);
    if (!rehashed.empty()) roster.set_pin_hash(person.id, rehashed);
    if (role_covers(person.role, needed)) {
      check.verdict = Verdict::kAccepted;
    } else {
      check.verdict = Verdict::kRoleTooLow;
      check.message = person.id + " is " + role_with_article(person.role) + "; this needs " +
                      role_with_article(needed);
    }
  } else {
    check.verdict = Verdict::kWrongPin;
    if (tries >= rules.tries) {
      const std::int64_t until = now_ms + rules.lockout_ms;
      roster.lock_out(person.id, until);
      check.message = "wrong PIN for " + person.id + ": locked out until " +
                      platform::local_date_time_text(until) + " after " +
                      std::to_string(rules.tries) + " wrong PINs";
      AuditEvent lock;
      lock.station = station;
      lock.kind = kind::kLock;
      lock.subject = person.id;
      lock.what = "locked out after " + std::to_string(rules.tries) + " wrong PINs in a row";
      lock.before_state = "unlocked";
      lock.after_state = "locked out until " + records::iso8601_utc(until);
      append_event(db, lock);
    } else {
      check.message = "wrong PIN for " + person.id + " (" + tries_left(rules.tries - tries) + ")";
    }
  }
  if (purpose == CheckFor::kLogin) append_event(db, login_event(who, check, station));
  outcome.commit();
  return check;
}

}  // namespace people
