#include "people/pin.h"

#include <sodium.h>

#include <stdexcept>

namespace people {

namespace {

void ready() {
  // Thread-safe and idempotent; -1 only when no source of randomness exists.
  static const int status = sodium_init();
  if (status < 0) throw std::runtime_error("libsodium cannot start: no source of randomness");
}

}  // namespace

Pin::~Pin() {
  wipe();
}

void Pin::set_length(std::size_t length) {
  length_ = length < kCapacity ? length : kCapacity;
}

void Pin::wipe() {
  sodium_memzero(bytes_.data(), bytes_.size());
  length_ = 0;
}

std::string pin_problem(const Pin& pin) {
  for (char c : pin.digits()) {
    if (c < '0' || c > '9') return "a PIN is digits only";
  }
  if (pin.length() < kShortestPin || pin.length() > kLongestPin) {
    return "a PIN has " + std::to_string(kShortestPin) + " to " + std::to_string(kLongestPin) +
           " digits";
  }
  return "";
}

bool same_pin(const Pin& a, const Pin& b) {
  if (a.length() != b.length()) return false;
  return sodium_memcmp(a.digits().data(), b.digits().data(), a.length()) == 0;
}

PinCost station_pin_cost() {
  return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

PinCost quickest_pin_cost() {
  return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
}

std::string hash_pin(const Pin& pin, const PinCost& cost) {
  ready();
  char stored[crypto_pwhash_STRBYTES] = {};
  if (crypto_pwhash_str_alg(stored, pin.digits().data(), pin.length(), cost.passes,
                            cost.memory_bytes, crypto_pwhash_ALG_ARGON2ID13) != 0) {
    throw std::runtime_error("not enough memory to hash a PIN");
  }
  return stored;
}

bool pin_matches(const Pin& pin, const std::string& stored) {
  ready();
  if (stored.empty() || stored.size() >= crypto_pwhash_STRBYTES) return false;
  return crypto_pwhash_str_verify(stored.c_str(), pin.digits().data(), pin.length()) == 0;
}

bool hashed_otherwise(const std::string& stored, const PinCost& cost) {
  ready();
  return crypto_pwhash_str_needs_rehash(stored.c_str(), cost.passes, cost.memory_bytes) != 0;
}

}  // namespace people
