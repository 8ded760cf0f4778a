#include "cli/people_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/pin_entry.h"
#include "cli/station_people.h"
#include "people/audit_trail.h"
#include "people/people_changes.h"
#include "people/roster.h"
#include "platform/date_time.h"
#include "text/hidden_characters.h"
#include "run/exit_status.h"
#include "station/station_settings.h"

namespace cli {

namespace {

struct PeopleOptions {
  std::string id;
  std::string role;
  std::string name;
  std::optional<std::string> badge;
  std::optional<int> pin_fd;
  std::string by;
  std::optional<int> by_pin_fd;
  std::optional<std::string> reason;
  std::string records;
};

enum class Verb { kAdd, kList, kSetPin, kLock, kUnlock, kRemove };

const char* verb_name(Verb verb) {
  switch (verb) {
    case Verb::kAdd:
      return "add";
    case Verb::kList:
      return "list";
    case Verb::kSetPin:
      return "set the PIN of";
    case Verb::kLock:
      return "lock";
    case Verb::kUnlock:
      return "unlock";
    case Verb::kRemove:
      break;
  }
  return "remove";
}

int status_of(const people::Change& change) {
  std::fprintf(change.done() ? stdout : stderr, "%s%s\n", change.done() ? "ffsload: done: " : "ffsload: ",
               change.message.c_str());
  return change.done() ? run::kExitGreen : run::kExitNoRun;
}

int list(people::Database& db) {
  const std::int64_t now = now_ms();
  std::printf("%-20s %-10s %-24s %-5s %s\n", "id", "role", "name", "badge", "state");
  for (const people::Person& p : people::Roster(db).everyone()) {
    std::string state = "active";
    if (p.removed()) {
      state = "removed " + p.removed_at.value_or("");
    } else if (p.locked) {
      state = "locked";
    } else if (p.locked_out(now)) {
      state = "locked out until " + platform::local_date_time_text(p.locked_until_ms);
    } else if (p.failed_pins > 0) {
      state = "active, " + std::to_string(p.failed_pins) + " wrong PIN(s) in a row";
    }
    std::printf("%-20s %-10s %-24s %-5s %s\n", text::shown_visibly(p.id).c_str(),
                people::role_name(p.role), text::shown_visibly(p.name).c_str(),
                p.badge ? "yes" : "-", state.c_str());
  }
  return run::kExitGreen;
}

int act(Verb verb, const PeopleOptions& o) {
  const station::StationSettingsFile settings_file = station::read_station_settings();
  if (const std::string refusal = settings_file.refusal(); !refusal.empty()) {
    std::fprintf(stderr, "ffsload: %s\n", refusal.c_str());
    return run::kExitNoRun;
  }
  const StationPeople where = station_people(o.records, settings_file.settings);
  if (verb == Verb::kList) {
    if (store_not_made_yet(where)) {
      std::printf("nobody yet: the first engineer is added with \"ffsload people add ID --role "
                  "engineer\"\n");
      return run::kExitGreen;
    }
    const auto db = open_people(where, people::Access::kReading);
    if (!db) return run::kExitRed;
    try {
      if (!db->has_tables()) {
        std::printf("nobody yet: the first engineer is added with \"ffsload people add ID --role "
                    "engineer\"\n");
        return run::kExitGreen;
      }
      return list(*db);
    } catch (const records::StoreError& e) {
      std::fprintf(stderr, "ffsload: %s\n", e.what());
      return run::kExitRed;
    }
  }
  const auto db = open_people(where, people::Access::kWriting);
  if (!db) return run::kExitRed;
  try {
    // The acting person's PIN first, then the new one: one descriptor may
    // give both, a line each.
    std::optional<people::ActingPerson> by;
    people::Pin by_pin;
    std::string why;
    if (!o.by.empty()) {
      if (!read_pin(o.by_pin_fd, o.by, false, &by_pin, &why)) {
        std::fprintf(stderr, "ffsload: %s\n", why.c_str());
        return run::kExitNoRun;
      }
      by = people::ActingPerson{o.by, &by_pin, o.reason};
    } else if (verb != Verb::kAdd || people::Roster(*db).anyone()) {
      const std::string refusal =
          "only an engineer changes the people: give --by ID (the PIN from --by-pin-fd M or the "
          "terminal)";
      std::fprintf(stderr, "ffsload: %s\n", refusal.c_str());
      people::AuditEvent e;
      e.station = where.station;
      e.kind = people::kind::kPeople;
      e.subject = o.id;
      e.what = std::string(verb_name(verb)) + " " + o.id;
      e.why = o.reason;
      e.outcome = "refused: " + refusal;
      people::record_event(*db, e);
      return run::kExitNoRun;
    }
    people::Pin new_pin;
    if (verb == Verb::kAdd || verb == Verb::kSetPin) {
      if (!read_pin(o.pin_fd, o.id, true, &new_pin, &why)) {
        std::fprintf(stderr, "ffsload: %s\n", why.c_str());
        return run::kExitNoRun;
      }
    }
    const std::int64_t now = now_ms();
    switch (verb) {
      case Verb::kAdd: {
        const auto role = people::role_from_name(o.role);
        if (!role) {
          std::fprintf(stderr, "ffsload: --role is operator, technician or engineer\n");
          return run::kExitNoRun;
        }
        return status_of(people::add_person(*db, {o.id, *role, o.name, o.badge}, new_pin, by,
                                            where.rules, now, where.station));
      }
      case Verb::kSetPin:
        return status_of(
            people::set_person_pin(*db, o.id, new_pin, *by, where.rules, now, where.station));
      case Verb::kLock:
        return status_of(people::lock_person(*db, o.id, *by, where.rules, now, where.station));
      case Verb::kUnlock:
        return status_of(people::unlock_person(*db, o.id, *by, where.rules, now, where.station));
      case Verb::kRemove:
        return status_of(people::remove_person(*db, o.id, *by, where.rules, now, where.station));
      case Verb::kList:
        break;
    }
  } catch (const records::RecordRefused& e) {
    // Another station changed the same person at the same moment.
    std::fprintf(stderr, "ffsload: not changed: %s\n", e.what());
    return run::kExitNoRun;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ffsload: %s\n", e.what());
    return run::kExitRed;
  }
  return run::kExitNoRun;
}

// The options every verb that acts takes.
void acting_options(CLI::App* sub, PeopleOptions* o, bool reason_needed) {
  sub->add_option("--by", o->by, "the engineer who makes the change (an id or a badge)");
  sub->add_option("--by-pin-fd", o->by_pin_fd,
                  "read that person's PIN from descriptor M (one line), not the terminal")
      ->type_name("M");
  auto* reason = sub->add_option("--reason", o->reason, "why, for the audit trail");
  if (reason_needed) reason->required();
  sub->add_option("--records", o->records,
                  "where the people are: as for run (default: the station's records)");
}

}  // namespace

void add_people_command(CLI::App& app, int* status) {
  CLI::App* people = app.add_subcommand(
      "people", "the people of this station (or line) with their roles and PINs: list, add, "
                "set a PIN, lock, unlock, remove (engineers only, once the first is there)");
  people->require_subcommand(1);
  const auto verb = [&](const char* name, const char* help, Verb v, bool needs_pin,
                        bool reason_needed) {
    auto o = std::make_shared<PeopleOptions>();
    CLI::App* sub = people->add_subcommand(name, help);
    sub->add_option("ID", o->id, "the person's id")->required();
    if (v == Verb::kAdd) {
      sub->add_option("--role", o->role, "operator, technician or engineer")
          ->required()
          ->type_name("operator|technician|engineer");
      sub->add_option("--name", o->name, "the person's name, as shown");
      sub->add_option("--badge", o->badge, "the code of the person's badge, as a scanner reads it");
    }
    if (needs_pin) {
      sub->add_option("--pin-fd", o->pin_fd,
                      "read the new PIN from descriptor N (one line, 4 to 12 digits); without "
                      "it the PIN is typed twice on the terminal")
          ->type_name("N");
    }
    acting_options(sub, o.get(), reason_needed);
    sub->footer(
        "Exit status: 0 done, 1 the people's store cannot be reached, 2 refused (no engineer,\n"
        "a wrong PIN) or nothing to do (no such person, the last engineer).");
    sub->callback([o, v, status] { *status = act(v, *o); });
  };
  verb("add", "add a person; the first person of a station is an engineer and needs no --by",
       Verb::kAdd, true, false);
  verb("set-pin", "set a person's PIN (an engineer, or the person knowing the old one)",
       Verb::kSetPin, true, false);
  verb("lock", "lock a person's id: no login, no action, until an engineer unlocks it",
       Verb::kLock, false, true);
  verb("unlock", "unlock an id, also one locked out after wrong PINs", Verb::kUnlock, false,
       true);
  verb("remove", "remove a person: the id stays taken, without PIN or badge", Verb::kRemove,
       false, true);
  auto list_options = std::make_shared<PeopleOptions>();
  CLI::App* list_sub = people->add_subcommand("list", "list the people, their roles and state");
  list_sub->add_option("--records", list_options->records, "where the people are: as for run");
  list_sub->callback([list_options, status] { *status = act(Verb::kList, *list_options); });
}

}  // namespace cli
