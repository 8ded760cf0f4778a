// The customer road of both front ends: from a customer number and sub-number
// to the script file and the customer's "MA_NO" text.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace station {

// "N" or "N.S": a customer number (signed 8 bits, as the panel holds it) and
// a one-digit sub-number.
std::optional<std::pair<int, int>> parse_customer_key(const std::string& text);

// "N" for a customer without sub-numbers, "N.S" for the customer of the "qm"
// line (index_qm, as read_index_qm gives it).
std::string customer_key(int customer, int sub_number, int index_qm);

// What choosing a customer finds: the customer key as the records and the
// command line write it ("N", or "N.S" for the customer of the "qm" line),
// the script, the "MA_NO" text; or, when no run can happen, the message
// box's text in `error`.
struct CustomerChoice {
  std::string key;
  std::string script;
  std::string ma_no;
  std::string error;  // empty when found
};

// The selection panel's rules without the panels: the sub-number counts only
// for the customer of the "qm" line.
CustomerChoice look_up_customer(int customer, int sub_number);

// Chooses customer `customer` with `sub_number` as the selection panel does
// (the sub-number counts only for the customer of the "qm" line): the
// lookup, after telling the operator with the "Error" message box when no
// run can happen (`error` set).
CustomerChoice choose_customer(int customer, int sub_number);

}  // namespace station
