#include "cli/run_login.h"

#include <cstdio>

#include "cli/pin_entry.h"
#include "people/audit_trail.h"
#include "records/schema.h"

namespace cli {

namespace {

// "port 3, customer 1" or "port 3, script a.tms": what the run was.
std::string run_what(const run::RunContext& context) {
  return "port " + std::to_string(context.port) +
         (context.customer_key.empty() ? ", script " + context.script
                                       : ", customer " + context.customer_key);
}

// The record as the store holds it now, to digest; nullopt when the store
// does not hold it (kept in the outbox meanwhile) or cannot be read.
std::optional<records::RunRecord> stored_record(const std::string& location,
                                                const std::string& uid) {
  if (uid.empty()) return std::nullopt;
  try {
    const auto store = records::open_store(location, records::OpenFor::kReading);
    const auto rows = store->query(
        std::string("SELECT ") + records::kRecordColumns + " FROM runs WHERE uid = ?", {uid});
    if (rows.empty()) return std::nullopt;
    return records::record_from_values(rows[0]);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

std::shared_ptr<RunLogin> RunLogin::log_in(const StationPeople& where, const std::string& who,
                                           std::optional<int> pin_fd, int idle_minutes) {
  people::Pin pin;
  std::string why;
  if (!read_pin(pin_fd, who, false, &pin, &why)) {
    std::fprintf(stderr, "ffsload: %s: no run\n", why.c_str());
    return nullptr;
  }
  const auto db = open_people(where, people::Access::kWriting);
  if (!db) {
    std::fprintf(stderr, "ffsload: login = required and nobody can be checked: no run\n");
    return nullptr;
  }
  try {
    const people::PinCheck check =
        people::check_person(*db, who, pin, people::Role::kOperator, people::CheckFor::kLogin,
                             where.rules, now_ms(), where.station);
    if (!check.accepted()) {
      std::fprintf(stderr, "ffsload: %s: no run\n", check.message.c_str());
      return nullptr;
    }
    auto login = std::make_shared<RunLogin>();
    login->where_ = where;
    login->person_ = check.person->id;
    login->role_ = check.person->role;
    login->idle_minutes_ = idle_minutes;
    login->last_activity_ms_ = now_ms();
    return login;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ffsload: cannot check %s: %s: no run\n", who.c_str(), e.what());
    return nullptr;
  }
}

bool RunLogin::run_starts(const run::RunContext& context) {
  people::AuditEvent e;
  e.station = where_.station;
  e.kind = people::kind::kRunStart;
  e.actor = person_;
  e.subject = context.unit_serial;
  e.what = run_what(context);
  try {
    const auto db = people::open_database(where_.location, people::Access::kWriting);
    people::record_event(*db, e);
    return true;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ffsload: the audit trail cannot keep the run's start: %s: no run\n",
                 error.what());
    return false;
  }
}

void RunLogin::run_ended(const run::RunContext& context, const run::RunResult& result) {
  last_activity_ms_ = now_ms();
  people::AuditEvent e;
  e.station = where_.station;
  e.kind = people::kind::kRunEnd;
  e.actor = person_;
  e.subject = context.unit_serial;
  e.what = run_what(context);
  e.outcome = run::outcome_name(result.outcome);
  if (!result.uid.empty()) e.run_uid = result.uid;
  if (const auto record = stored_record(where_.location, result.uid)) {
    e.record_digest = people::record_digest(*record);
  }
  try {
    // Not waited for: the record is on disk already, and the next event
    // (the next run's start, the logout) takes this one to the disk with
    // it. A power cut between loses only this end, which the trail then
    // shows as a run started and never ended.
    const auto db = people::open_database(where_.location, people::Access::kWriting);
    people::record_event(*db, e, false);
  } catch (const std::exception& error) {
    // The run is over whatever the trail says: its record and log stand.
    std::fprintf(stderr, "ffsload: the audit trail could not keep the run's end: %s\n",
                 error.what());
  }
}

bool RunLogin::idled_out(std::int64_t now) const {
  return idle_minutes_ > 0 &&
         now - last_activity_ms_ > static_cast<std::int64_t>(idle_minutes_) * 60 * 1000;
}

void RunLogin::log_out(const std::string& why) {
  if (logged_out_) return;
  logged_out_ = true;
  people::AuditEvent e;
  e.station = where_.station;
  e.kind = people::kind::kLogout;
  e.actor = person_;
  e.why = why;
  try {
    const auto db = people::open_database(where_.location, people::Access::kWriting);
    people::record_event(*db, e);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ffsload: the audit trail could not keep the logout: %s\n", error.what());
  }
}

bool RunLogin::may(const people::Action& action) {
  people::AuditEvent e;
  e.station = where_.station;
  e.kind = people::kind::kPrivileged;
  e.actor = person_;
  e.what = action.what;
  e.why = action.why;
  e.before_state = action.before_state;
  e.after_state = action.after_state;
  const bool allowed = people::role_covers(role_, action.needed);
  const std::string refusal = person_ + " is " + people::role_with_article(role_) +
                              "; this needs " + people::role_with_article(action.needed);
  e.outcome = allowed ? "accepted" : "refused: " + refusal;
  try {
    const auto db = people::open_database(where_.location, people::Access::kWriting);
    people::record_event(*db, e);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ffsload: the audit trail cannot keep the action: %s: refused\n",
                 error.what());
    return false;
  }
  if (!allowed) std::fprintf(stderr, "ffsload: %s: refused\n", refusal.c_str());
  return allowed;
}

}  // namespace cli
