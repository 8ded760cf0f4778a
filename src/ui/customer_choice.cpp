#include "ui/customer_choice.h"

#include <cstdlib>

#include "platform/user_interface.h"
#include "script/runner.h"
#include "ui/customer_definition.h"

namespace ui {

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

bool choose_customer(int customer, int sub_number, std::string* ma_no) {
  if (!read_index_qm()) {
    platform::MessagePopup("Error", "Fail to open file <custdefine>");
    return false;
  }
  if (customer != index_qm) sub_number = 0;  // the sub-number control is hidden
  std::string script;
  switch (find_customer(customer, sub_number, &script)) {
    case CustomerLookup::kNoFile:
      platform::MessagePopup("Error", "Fail to open file <custdefine>");
      return false;
    case CustomerLookup::kNotFound:
      platform::MessagePopup("Error", "Fail to find the customer");
      return false;
    case CustomerLookup::kFound:
      break;
  }
  tmsfile = script;
  *ma_no = read_ma_no(script);
  return true;
}

}  // namespace ui
