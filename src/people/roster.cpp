#include "people/roster.h"

#include "text/hidden_characters.h"

namespace people {

namespace {

constexpr const char* kPersonColumns =
    "id, name, role, pin_hash, badge, locked, failed_pins, locked_until_ms, added_at, removed_at";

// The longest id or badge: far beyond any badge a line prints.
constexpr std::size_t kLongestId = 128;

std::int64_t number(const std::optional<std::string>& text) {
  if (!text) return 0;
  try {
    return std::stoll(*text);
  } catch (const std::exception&) {
    return 0;
  }
}

Person person_from(const Row& row) {
  Person p;
  p.id = row[0].value_or("");
  p.name = row[1].value_or("");
  // A role no ffsload writes (the table's rule keeps it out): the least.
  p.role = role_from_name(row[2].value_or("")).value_or(Role::kOperator);
  p.pin_hash = row[3].value_or("");
  p.badge = row[4];
  p.locked = number(row[5]) != 0;
  p.failed_pins = static_cast<int>(number(row[6]));
  p.locked_until_ms = number(row[7]);
  p.added_at = row[8].value_or("");
  p.removed_at = row[9];
  return p;
}

}  // namespace

std::string text_problem(const std::string& what, const std::string& text, std::size_t longest) {
  if (text.size() > longest) {
    return what + " is " + std::to_string(text.size()) + " characters long, more than " +
           std::to_string(longest);
  }
  if (const auto hidden = text::first_hidden_character(text)) {
    return what + " \"" + text::shown_visibly(text) + "\" holds " + hidden->description;
  }
  return "";
}

std::string id_problem(const std::string& what, const std::string& id) {
  if (id.empty()) return what + " is empty";
  if (id.size() > kLongestId) {
    return what + " is " + std::to_string(id.size()) + " characters long, more than " +
           std::to_string(kLongestId);
  }
  if (const auto hidden = text::first_hidden_character(id)) {
    return what + " \"" + text::shown_visibly(id) + "\" holds " + hidden->description;
  }
  if (id.find_first_of(" \t") == 0 || id.find_last_of(" \t") == id.size() - 1) {
    return what + " begins or ends with a blank";
  }
  return "";
}

bool Roster::anyone() {
  return !db_.query("SELECT 1 FROM people LIMIT 1").empty();
}

long Roster::acting_engineers() {
  const auto rows = db_.query(
      "SELECT count(*) FROM people WHERE role = 'engineer' AND removed_at IS NULL AND locked = 0");
  return rows.empty() ? 0 : static_cast<long>(number(rows[0][0]));
}

std::optional<Person> Roster::find(const std::string& id) {
  const auto rows =
      db_.query(std::string("SELECT ") + kPersonColumns + " FROM people WHERE id = ?", {id});
  if (rows.empty()) return std::nullopt;
  return person_from(rows[0]);
}

std::optional<Person> Roster::find_by_badge(const std::string& badge) {
  const auto rows =
      db_.query(std::string("SELECT ") + kPersonColumns + " FROM people WHERE badge = ?", {badge});
  if (rows.empty()) return std::nullopt;
  return person_from(rows[0]);
}

std::optional<Person> Roster::find_by_id_or_badge(const std::string& text) {
  if (auto person = find(text)) return person;
  return find_by_badge(text);
}

std::vector<Person> Roster::everyone() {
  std::vector<Person> people;
  for (const Row& row :
       db_.query(std::string("SELECT ") + kPersonColumns + " FROM people ORDER BY id")) {
    people.push_back(person_from(row));
  }
  return people;
}

void Roster::add(const Person& p) {
  db_.execute(std::string("INSERT INTO people (") + kPersonColumns +
                  ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
              {p.id, p.name, std::string(role_name(p.role)), p.pin_hash, p.badge,
               std::string(p.locked ? "1" : "0"), std::to_string(p.failed_pins),
               std::to_string(p.locked_until_ms), p.added_at, p.removed_at});
}

void Roster::set_pin_hash(const std::string& id, const std::string& hash) {
  db_.execute("UPDATE people SET pin_hash = ? WHERE id = ?", {hash, id});
}

void Roster::set_locked(const std::string& id, bool locked) {
  // Unlocked: the wrong PINs and any lock-out are forgiven too.
  if (locked) {
    db_.execute("UPDATE people SET locked = 1 WHERE id = ?", {id});
  } else {
    db_.execute("UPDATE people SET locked = 0, failed_pins = 0, locked_until_ms = 0 WHERE id = ?",
                {id});
  }
}

int Roster::count_try(const std::string& id) {
  db_.execute("UPDATE people SET failed_pins = failed_pins + 1 WHERE id = ?", {id});
  const auto rows = db_.query("SELECT failed_pins FROM people WHERE id = ?", {id});
  return rows.empty() ? 0 : static_cast<int>(number(rows[0][0]));
}

void Roster::clear_tries(const std::string& id) {
  db_.execute("UPDATE people SET failed_pins = 0, locked_until_ms = 0 WHERE id = ?", {id});
}

void Roster::lock_out(const std::string& id, std::int64_t until_ms) {
  db_.execute("UPDATE people SET locked_until_ms = ? WHERE id = ?", {std::to_string(until_ms), id});
}

void Roster::remove(const std::string& id, const std::string& at) {
  // The PIN goes and the badge is free for someone else; the id stays taken.
  db_.execute("UPDATE people SET removed_at = ?, pin_hash = NULL, badge = NULL WHERE id = ?",
              {at, id});
}

}  // namespace people
