// The customer definition file "custdefine": which customer number has
// sub-numbers (the "qm" line), which script file a customer runs, and the
// short "MA_NO" text of the customer's folder.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace station {

constexpr const char* kCustDefineFile = "custdefine";
// Each read takes at most this many characters, the line feed included.
constexpr std::size_t kCustDefineReadLimit = 19;
// Lines after this many reads are never seen.
constexpr int kCustDefineReads = 40;
// Characters of "MA_NO" shown to the operator.
constexpr std::size_t kMaNoLength = 10;

enum class CustomerLookup { kFound, kNoFile, kNotFound };

// The customer number whose entries are told apart by sub-numbers
// (index_qm): the "qm" line's key, 0 without one; nullopt when "custdefine"
// cannot be opened.
std::optional<int> read_index_qm();

// Finds the script of customer number `customer` with `sub_number` (0..9):
// the first entry whose key, as a decimal value, is customer + sub_number/10.
CustomerLookup find_customer(int customer, int sub_number, std::string* script);

// The customer's folder: the script name up to its first "." (at most 20 characters).
std::string customer_folder(const std::string& script);

// The first 10 bytes of "MA_NO" in the customer's folder; empty when missing.
std::string read_ma_no(const std::string& script);

}  // namespace station
