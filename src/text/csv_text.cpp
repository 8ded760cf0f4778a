#include "text/csv_text.h"

namespace text {

namespace {

bool digit(char c) {
  return c >= '0' && c <= '9';
}

// "-" and digits with at most one "." between digits: "-12", "-0.5".
bool negative_number(std::string_view text) {
  if (text.size() < 2 || text[0] != '-') return false;
  bool point = false;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (digit(text[i])) continue;
    if (text[i] != '.' || point || !digit(text[i - 1]) || i + 1 == text.size()) return false;
    point = true;
  }
  return true;
}

bool read_as_formula(std::string_view text) {
  if (text.empty()) return false;
  switch (text[0]) {
    case '=':
    case '+':
    case '@':
    case '\t':
    case '\r':
      return true;
    case '-':
      return !negative_number(text);
    default:
      return false;
  }
}

}  // namespace

std::string csv_text_field(std::string_view text) {
  std::string field = read_as_formula(text) ? "'" : "";
  field += text;
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace text
