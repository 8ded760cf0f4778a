#include "cli/station_people.h"

#include <cstdio>
#include <filesystem>

#include "cli/pin_entry.h"
#include "people/audit_trail.h"
#include "people/people_changes.h"
#include "people/roster.h"
#include "text/hidden_characters.h"
#include "platform/calendar.h"
#include "records/location.h"

namespace cli {

namespace {
people::PinCost g_pin_cost = people::station_pin_cost();
}  // namespace

void use_pin_cost(const people::PinCost& cost) {
  g_pin_cost = cost;
}

StationPeople station_people(const std::string& records_option,
                             const station::StationSettings& settings) {
  StationPeople where;
  where.location = records::resolve_location(records_option).url;
  // A port's process under run --ports works in its own folder: the file
  // is the station's wherever the process is.
  if (!where.location.empty() && !records::is_postgres_url(where.location)) {
    where.location = std::filesystem::absolute(where.location).string();
  }
  where.rules.cost = g_pin_cost;
  where.rules.lockout_ms = static_cast<std::int64_t>(settings.login_lockout_minutes) * 60 * 1000;
  where.station = people::this_station();
  return where;
}

bool store_not_made_yet(const StationPeople& where) {
  std::error_code ec;
  return !records::is_postgres_url(where.location) &&
         !std::filesystem::exists(where.location, ec) && !ec;
}

std::unique_ptr<people::Database> open_people(const StationPeople& where,
                                              people::Access access) {
  try {
    return people::open_database(where.location, access);
  } catch (const records::StoreError& e) {
    std::fprintf(stderr, "ffsload: the people cannot be read: %s\n", e.what());
    return nullptr;
  }
}

std::int64_t now_ms() {
  return platform::utc_now_ms();
}

bool windows_wait_for_login() {
  const station::StationSettingsFile file = station::read_station_settings();
  if (!file.settings.login_required) return false;
  std::fprintf(stderr,
               "ffsload: login = required in %s, and the panels and the grid take no login yet: "
               "run with \"ffsload run --port N --operator ID\" (the PIN from --pin-fd N or "
               "the terminal)\n",
               station::kStationSettingsFile);
  return true;
}

namespace {

// An attempt refused before anyone's PIN could be checked: still one event.
void record_refused(const StationPeople& where, const std::string& by,
                    const people::Action& action, const std::string& why) {
  std::fprintf(stderr, "ffsload: %s; refused\n", why.c_str());
  const auto db = open_people(where, people::Access::kWriting);
  if (!db) return;
  people::AuditEvent e;
  e.station = where.station;
  e.kind = people::kind::kPrivileged;
  if (!by.empty()) e.actor = by;
  e.what = action.what;
  e.why = action.why;
  e.before_state = action.before_state;
  e.after_state = action.after_state;
  e.outcome = "refused: " + why;
  try {
    people::record_event(*db, e);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ffsload: the audit trail could not keep the refusal: %s\n",
                 error.what());
  }
}

}  // namespace

bool authorize_on_command_line(const StationPeople& where, const std::string& by,
                               std::optional<int> pin_fd, const people::Action& action) {
  if (by.empty()) {
    record_refused(where, by, action,
                   "this needs " + people::role_with_article(action.needed) +
                       ": give --by ID and the PIN (--pin-fd N or the terminal)");
    return false;
  }
  if (!action.why || action.why->empty()) {
    record_refused(where, by, action, "give the reason (--reason TEXT): the audit trail keeps it");
    return false;
  }
  if (std::string why = people::text_problem("the reason", *action.why, people::kLongestReason);
      !why.empty()) {
    people::Action shown = action;
    shown.why = text::shown_visibly(*action.why).substr(0, people::kLongestReason);
    record_refused(where, by, shown, why);
    return false;
  }
  people::Pin pin;
  std::string why;
  if (!read_pin(pin_fd, by, false, &pin, &why)) {
    record_refused(where, by, action, why);
    return false;
  }
  const auto db = open_people(where, people::Access::kWriting);
  if (!db) return false;
  try {
    const people::Authorization answer =
        people::authorize(*db, by, pin, action, where.rules, now_ms(), where.station);
    if (!answer.accepted) {
      std::fprintf(stderr, "ffsload: %s: refused\n", answer.message.c_str());
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ffsload: cannot check %s: %s; refused\n", by.c_str(), e.what());
    return false;
  }
}

void record_failed_action(const StationPeople& where, const std::string& by,
                          const people::Action& action, const std::string& why) {
  const auto db = open_people(where, people::Access::kWriting);
  if (!db) return;
  try {
    people::record_action_failed(*db, by, action, why, where.station);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ffsload: the audit trail could not keep that it failed: %s\n", e.what());
  }
}

}  // namespace cli
