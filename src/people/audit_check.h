// Checking the audit trail: every station's chain walked from its first
// event, each event's hash computed again and its link to the one before
// followed. What it proves and what it does not is in docs/people.md: a
// chain rewritten whole, every hash computed again, or cut short at its
// newest events, shows only against a head kept elsewhere (`kept`).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "people/database.h"

namespace people {

// A chain's newest event as a check found it: printed by "audit verify" to
// be kept elsewhere, and read back to compare.
struct ChainHead {
  std::string station;
  std::int64_t number = 0;
  std::string hash;
};

// "station line4-pc2: 1234 events, head 1234 3f7a...": one line.
std::string head_line(const ChainHead& head);
// The head of such a line; nullopt for any other text.
std::optional<ChainHead> head_from_line(const std::string& line);

struct TrailCheck {
  std::int64_t events = 0;
  std::vector<ChainHead> heads;  // every station's, by name
  // The first event that does not hold on each station whose chain breaks,
  // named with why; and each kept head the chain no longer reaches.
  std::vector<std::string> breaks;
  bool holds() const { return breaks.empty(); }
};

// Walks every chain. Throws records::StoreError when the store cannot be read.
TrailCheck check_trail(Database& db, const std::vector<ChainHead>& kept = {});

}  // namespace people
