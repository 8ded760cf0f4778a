// The people of a station: PINs, the first engineer, who may change whom,
// the lock-out after wrong PINs, and the events each leaves.
#include <gtest/gtest.h>

#include <string>

#include "people/audit_check.h"
#include "people/database.h"
#include "people/people_changes.h"
#include "people/pin.h"
#include "people/pin_check.h"
#include "people/privileged_action.h"
#include "people/roster.h"
#include "support/temp_dir.h"

namespace {

using namespace people;

constexpr std::int64_t kNow = 1'800'000'000'000;  // 2027-01-15
const std::string kStation = "line4-pc2";

void set(Pin& pin, const std::string& digits) {
  digits.copy(pin.buffer(), Pin::kCapacity);
  pin.set_length(digits.size());
}

struct People : ::testing::Test {
  testing_support::TempDir dir;
  std::unique_ptr<Database> db = open_database("runs.sqlite", Access::kWriting);
  LoginRules rules{5, 15 * 60 * 1000, quickest_pin_cost()};
  Pin pin;

  ActingPerson as(const std::string& id, const std::string& digits) {
    set(pin, digits);
    return {id, &pin, std::string("test")};
  }
  Change add(const std::string& id, Role role, const std::string& digits,
             std::optional<ActingPerson> by, std::optional<std::string> badge = std::nullopt) {
    Pin new_pin;
    set(new_pin, digits);
    return add_person(*db, {id, role, "", badge}, new_pin, by, rules, kNow, kStation);
  }
  PinCheck login(const std::string& who, const std::string& digits, std::int64_t now = kNow) {
    Pin typed;
    set(typed, digits);
    return check_person(*db, who, typed, Role::kOperator, CheckFor::kLogin, rules, now, kStation);
  }
  long events(const std::string& kind) {
    return std::stol(*db->query("SELECT count(*) FROM audit_events WHERE kind = ?", {kind})[0][0]);
  }
};

TEST(Pins, are_digits_of_a_bounded_length_hashed_with_a_salt) {
  Pin pin;
  for (const char* bad : {"12a4", "123", "1234567890123", "", "12 34"}) {
    set(pin, bad);
    EXPECT_NE(pin_problem(pin), "") << bad;
  }
  set(pin, "0042");
  EXPECT_EQ(pin_problem(pin), "");
  const std::string first = hash_pin(pin, quickest_pin_cost());
  const std::string second = hash_pin(pin, quickest_pin_cost());
  EXPECT_NE(first, second);  // salted
  EXPECT_EQ(first.find("0042"), std::string::npos);
  EXPECT_TRUE(first.starts_with("$argon2id$"));
  EXPECT_TRUE(pin_matches(pin, first));
  EXPECT_TRUE(hashed_otherwise(first, station_pin_cost()));
  EXPECT_FALSE(hashed_otherwise(first, quickest_pin_cost()));
  Pin other;
  set(other, "0043");
  EXPECT_FALSE(pin_matches(other, first));
  EXPECT_FALSE(same_pin(pin, other));
  EXPECT_FALSE(pin_matches(pin, ""));
  EXPECT_FALSE(pin_matches(pin, "not a hash"));
  pin.wipe();
  EXPECT_EQ(pin.length(), 0u);
  EXPECT_EQ(pin.buffer()[0], '\0');
}

TEST_F(People, the_first_person_is_an_engineer_and_then_only_an_engineer_adds_people) {
  EXPECT_EQ(add("olga", Role::kOperator, "1111", std::nullopt).result, Change::Result::kInvalid);
  ASSERT_TRUE(add("erik", Role::kEngineer, "2222", std::nullopt).done());
  // Nobody's word is enough once someone is there.
  EXPECT_EQ(add("eve", Role::kEngineer, "3333", std::nullopt).result, Change::Result::kRefused);
  ASSERT_TRUE(add("tom", Role::kTechnician, "4444", as("erik", "2222")).done());
  EXPECT_TRUE(add("olga", Role::kOperator, "5555", as("erik", "2222"), "B-77").done());
  // Neither a technician nor a wrong PIN adds anyone; each try is an event.
  EXPECT_EQ(add("otto", Role::kOperator, "6666", as("tom", "4444")).result,
            Change::Result::kRefused);
  EXPECT_EQ(add("otto", Role::kOperator, "6666", as("erik", "9999")).result,
            Change::Result::kRefused);
  EXPECT_EQ(add("olga", Role::kOperator, "6666", as("erik", "2222")).result,
            Change::Result::kInvalid);
  EXPECT_EQ(add("otto", Role::kOperator, "6666", as("erik", "2222"), "B-77").result,
            Change::Result::kInvalid);  // the badge is olga's
  Roster roster(*db);
  EXPECT_FALSE(roster.find("otto"));
  EXPECT_EQ(roster.find_by_id_or_badge("B-77")->id, "olga");
  EXPECT_EQ(events("people"), 7);
  const auto refused =
      db->query("SELECT actor, outcome FROM audit_events WHERE outcome LIKE 'refused%' ORDER BY number");
  ASSERT_EQ(refused.size(), 2u);
  EXPECT_EQ(refused[0][0], "tom");
  EXPECT_NE(refused[0][1]->find("needs an engineer"), std::string::npos) << *refused[0][1];
  // No PIN is kept anywhere but as its hash.
  for (const auto& row : db->query("SELECT * FROM audit_events")) {
    for (const auto& cell : row) EXPECT_EQ(cell.value_or("").find("2222"), std::string::npos);
  }
  EXPECT_TRUE(check_trail(*db).holds());
}

TEST_F(People, a_removed_id_stays_taken_and_the_last_engineer_stays) {
  ASSERT_TRUE(add("erik", Role::kEngineer, "2222", std::nullopt).done());
  ASSERT_TRUE(add("olga", Role::kOperator, "5555", as("erik", "2222"), "B-1").done());
  EXPECT_EQ(lock_person(*db, "erik", as("erik", "2222"), rules, kNow, kStation).result,
            Change::Result::kInvalid);
  EXPECT_EQ(remove_person(*db, "erik", as("erik", "2222"), rules, kNow, kStation).result,
            Change::Result::kInvalid);
  ASSERT_TRUE(remove_person(*db, "olga", as("erik", "2222"), rules, kNow, kStation).done());
  EXPECT_EQ(login("olga", "5555").verdict, Verdict::kRemoved);
  EXPECT_EQ(add("olga", Role::kOperator, "5555", as("erik", "2222")).result,
            Change::Result::kInvalid);
  // The badge is free for someone else.
  EXPECT_TRUE(add("oskar", Role::kOperator, "5555", as("erik", "2222"), "B-1").done());
  // Anyone changes their own PIN knowing the old one; another's only an engineer.
  Pin new_pin;
  set(new_pin, "7777");
  EXPECT_TRUE(set_person_pin(*db, "oskar", new_pin, as("oskar", "5555"), rules, kNow, kStation)
                  .done());
  EXPECT_EQ(set_person_pin(*db, "erik", new_pin, as("oskar", "7777"), rules, kNow, kStation)
                .result,
            Change::Result::kRefused);
  EXPECT_TRUE(login("oskar", "7777").accepted());
  EXPECT_FALSE(login("oskar", "5555").accepted());
}

TEST_F(People, five_wrong_pins_lock_an_id_out_for_the_set_time) {
  ASSERT_TRUE(add("erik", Role::kEngineer, "2222", std::nullopt).done());
  ASSERT_TRUE(add("olga", Role::kOperator, "5555", as("erik", "2222")).done());
  for (int i = 1; i <= 4; ++i) {
    const PinCheck wrong = login("olga", "0000");
    EXPECT_EQ(wrong.verdict, Verdict::kWrongPin);
    EXPECT_NE(wrong.message.find(std::to_string(5 - i) + " tr"), std::string::npos)
        << wrong.message;
    EXPECT_EQ(wrong.message.find("0000"), std::string::npos);
  }
  const PinCheck fifth = login("olga", "0000");
  EXPECT_NE(fifth.message.find("locked out until"), std::string::npos) << fifth.message;
  // The right PIN does not open a locked-out id, and costs no try.
  EXPECT_EQ(login("olga", "5555", kNow + 60'000).verdict, Verdict::kLockedOut);
  EXPECT_EQ(events("lock"), 1);
  // Once the time is over, it does; and wrong PINs count from nothing again.
  EXPECT_TRUE(login("olga", "5555", kNow + rules.lockout_ms + 1).accepted());
  EXPECT_EQ(Roster(*db).find("olga")->failed_pins, 0);
  for (int i = 0; i < 5; ++i) login("olga", "0000", kNow + rules.lockout_ms + 2);
  EXPECT_EQ(login("olga", "5555", kNow + rules.lockout_ms + 3).verdict, Verdict::kLockedOut);
  // An engineer ends it at once.
  ASSERT_TRUE(unlock_person(*db, "olga", as("erik", "2222"), rules, kNow, kStation).done());
  EXPECT_TRUE(login("olga", "5555", kNow + rules.lockout_ms + 4).accepted());
  EXPECT_EQ(events("failed login"), 12);
  EXPECT_EQ(events("login"), 2);
  // Locked by an engineer: until one unlocks it, whatever the time.
  ASSERT_TRUE(lock_person(*db, "olga", as("erik", "2222"), rules, kNow, kStation).done());
  EXPECT_EQ(login("olga", "5555", kNow + 1'000'000'000).verdict, Verdict::kLocked);
  EXPECT_EQ(login("nobody", "5555").verdict, Verdict::kUnknown);
}

TEST_F(People, a_privileged_action_needs_the_role_and_the_pin_and_leaves_one_event_a_try) {
  ASSERT_TRUE(add("erik", Role::kEngineer, "2222", std::nullopt).done());
  ASSERT_TRUE(add("tom", Role::kTechnician, "4444", as("erik", "2222")).done());
  ASSERT_TRUE(add("olga", Role::kOperator, "5555", as("erik", "2222")).done());
  const Action keep{Role::kTechnician, "keep 53029910476543f1 aside on port 3",
                    std::string("unit scrapped"), std::string("pending"),
                    std::string("kept aside")};
  const long before = events("privileged action");
  Pin typed;
  for (const auto& [who, digits] : std::vector<std::pair<std::string, std::string>>{
           {"olga", "5555"}, {"tom", "0000"}, {"ghost", "1234"}}) {
    set(typed, digits);
    EXPECT_FALSE(authorize(*db, who, typed, keep, rules, kNow, kStation).accepted) << who;
  }
  set(typed, "4444");
  EXPECT_TRUE(authorize(*db, "tom", typed, keep, rules, kNow, kStation).accepted);
  set(typed, "2222");
  EXPECT_TRUE(authorize(*db, "erik", typed, keep, rules, kNow, kStation).accepted);
  EXPECT_EQ(events("privileged action") - before, 5);
  const auto rows = db->query(
      "SELECT actor, what, why, before_state, after_state, outcome FROM audit_events WHERE kind "
      "= 'privileged action' ORDER BY number DESC LIMIT 1");
  EXPECT_EQ(rows[0][0], "erik");
  EXPECT_EQ(rows[0][2], "unit scrapped");
  EXPECT_EQ(rows[0][3], "pending");
  EXPECT_EQ(rows[0][4], "kept aside");
  EXPECT_EQ(rows[0][5], "accepted");
}

}  // namespace
