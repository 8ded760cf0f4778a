#include "sqlite/statement.h"

namespace sqlite {

void bind(Statement& statement, int index, const std::optional<std::string>& value) {
  if (value) {
    statement.bind(index, *value);
  } else {
    statement.bind(index);
  }
}

std::optional<std::string> text_or_null(const Column& column) {
  if (column.isNull()) return std::nullopt;
  return std::string(column.getText(), static_cast<std::size_t>(column.getBytes()));
}

}  // namespace sqlite
