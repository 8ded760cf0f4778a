// The customer road of both front ends: from a customer number and sub-number
// to the script file in tmsfile and the customer's "MA_NO" text.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace ui {

// "N" or "N.S": a customer number (signed 8 bits, as the panel holds it) and
// a one-digit sub-number.
std::optional<std::pair<int, int>> parse_customer_key(const std::string& text);

// Chooses customer `customer` with `sub_number` as the selection panel does
// (the sub-number counts only for the customer of the "qm" line): sets tmsfile
// and reads "MA_NO" into *ma_no. Returns false after telling the operator with
// the "Error" message box when no run can happen.
bool choose_customer(int customer, int sub_number, std::string* ma_no);

}  // namespace ui
