// A person's PIN: digits held in a buffer of their own, never copied into a
// string, wiped when they go; stored only as a salted, memory-hard hash
// (Argon2id, libsodium's crypto_pwhash_str).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace people {

constexpr std::size_t kShortestPin = 4;
constexpr std::size_t kLongestPin = 12;

class Pin {
 public:
  // Room for far more than a PIN, so that a line too long is told apart
  // from one that is merely long.
  static constexpr std::size_t kCapacity = 64;

  Pin() = default;
  ~Pin();
  Pin(const Pin&) = delete;
  Pin& operator=(const Pin&) = delete;

  // For a reader that fills the buffer, then says how much it put there.
  char* buffer() { return bytes_.data(); }
  void set_length(std::size_t length);
  std::size_t length() const { return length_; }
  // Only for hashing and comparing: never to be copied into a string.
  std::string_view digits() const { return {bytes_.data(), length_}; }
  bool empty() const { return length_ == 0; }
  void wipe();

 private:
  std::array<char, kCapacity> bytes_{};
  std::size_t length_ = 0;
};

// Why `pin` cannot be a PIN (not digits only, too short, too long); "" when
// it can. The message never quotes the PIN.
std::string pin_problem(const Pin& pin);

// Whether two PINs typed are the same, in time independent of where they differ.
bool same_pin(const Pin& a, const Pin& b);

// What hashing one PIN costs: Argon2id's passes and memory.
struct PinCost {
  unsigned long long passes;
  std::size_t memory_bytes;
};
// A station's: libsodium's "interactive" limits, a check well under 300 ms
// on a line PC (bench_people measures it).
PinCost station_pin_cost();
// The least Argon2id takes: for tests, which hash many PINs.
PinCost quickest_pin_cost();

// The stored form ("$argon2id$v=19$m=...,t=...,p=1$salt$hash"). Throws
// std::runtime_error when the memory cannot be had.
std::string hash_pin(const Pin& pin, const PinCost& cost);
// Whether `pin` is the one `stored` was made from (false for a stored text
// that is no hash at all).
bool pin_matches(const Pin& pin, const std::string& stored);
// Whether `stored` was made with other limits than `cost` (hashed again at
// the next right PIN).
bool hashed_otherwise(const std::string& stored, const PinCost& cost);

}  // namespace people
