// The people of a station (or of the line, in its PostgreSQL database): the
// rows of the table "people", read and changed within the caller's
// transaction. Who may change them is people_changes' business.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "people/database.h"
#include "people/roles.h"

namespace people {

struct Person {
  std::string id;
  std::string name;
  Role role = Role::kOperator;
  std::string pin_hash;  // never shown, never logged
  std::optional<std::string> badge;
  bool locked = false;   // by an engineer, until one unlocks it
  int failed_pins = 0;   // wrong PINs in a row
  std::int64_t locked_until_ms = 0;  // locked out after too many wrong PINs, until then
  std::string added_at;
  std::optional<std::string> removed_at;  // a removed id is never given again

  bool removed() const { return removed_at.has_value(); }
  bool locked_out(std::int64_t now_ms) const { return locked_until_ms > now_ms; }
};

class Roster {
 public:
  explicit Roster(Database& db) : db_(db) {}

  // Whether anyone was ever added (a removed person counts: the first
  // engineer needs no one's word only in a store nobody was ever added to).
  bool anyone();
  // The engineers who may still act (not removed, not locked by an engineer).
  long acting_engineers();
  std::optional<Person> find(const std::string& id);
  std::optional<Person> find_by_badge(const std::string& badge);
  // An id, else a badge: a scanned badge finds its person too.
  std::optional<Person> find_by_id_or_badge(const std::string& text);
  std::vector<Person> everyone();

  void add(const Person& person);
  void set_pin_hash(const std::string& id, const std::string& hash);
  void set_locked(const std::string& id, bool locked);
  // Counts one more wrong PIN (before the PIN is even checked, so that a
  // process killed meanwhile has spent the try); returns the count.
  int count_try(const std::string& id);
  // A right PIN: the count starts again.
  void clear_tries(const std::string& id);
  void lock_out(const std::string& id, std::int64_t until_ms);
  void remove(const std::string& id, const std::string& at);

 private:
  Database& db_;
};

// Why `text` (a name, a reason) cannot be kept: longer than `longest`, or a
// character that hides or reorders text, which would mislead whoever reads
// the trail; "" when it can.
std::string text_problem(const std::string& what, const std::string& text, std::size_t longest);

// Why `id` cannot be a person's id (empty, too long, a character that
// hides or reorders text); "" when it can. Badges follow the same rule.
std::string id_problem(const std::string& what, const std::string& id);

}  // namespace people
