#include "station/customer_choice.h"

#include <cstdlib>

#include "platform/user_interface.h"
#include "station/customer_definition.h"

namespace station {

std::string customer_key(int customer, int sub_number, int index_qm) {
  if (customer == index_qm) return std::to_string(customer) + "." + std::to_string(sub_number);
  return std::to_string(customer);
}

std::optional<std::pair<int, int>> parse_customer_key(const std::string& text) {
  const auto point = text.find('.');
  const std::string number = text.substr(0, point);
  const std::string sub = point == std::string::npos ? "0" : text.substr(point + 1);
  char* end = nullptr;
  const long n = std::strtol(number.c_str(), &end, 10);
  if (number.empty() || *end != '\0' || n < -128 || n > 127) return std::nullopt;
  if (sub.size() != 1 || sub[0] < '0' || sub[0] > '9') return std::nullopt;
  return std::pair{static_cast<int>(n), sub[0] - '0'};
}

CustomerChoice look_up_customer(int customer, int sub_number) {
  CustomerChoice choice;
  const std::optional<int> index_qm = read_index_qm();
  if (!index_qm) {
    choice.error = "Fail to open file <custdefine>";
    return choice;
  }
  if (customer != *index_qm) sub_number = 0;  // the sub-number control is hidden
  choice.key = customer_key(customer, sub_number, *index_qm);
  switch (find_customer(customer, sub_number, &choice.script)) {
    case CustomerLookup::kNoFile:
      choice.error = "Fail to open file <custdefine>";
      return choice;
    case CustomerLookup::kNotFound:
      choice.error = "Fail to find the customer";
      return choice;
    case CustomerLookup::kFound:
      break;
  }
  choice.ma_no = read_ma_no(choice.script);
  return choice;
}

CustomerChoice choose_customer(int customer, int sub_number) {
  CustomerChoice choice = look_up_customer(customer, sub_number);
  if (!choice.error.empty()) {
    // The lookup words its fault in English; the box shows it translated.
    platform::ErrorPopup(platform::recognise_operator_text(choice.error)
                             .value_or(platform::OperatorText{"as_is", {choice.error}}));
  }
  return choice;
}

}  // namespace station
