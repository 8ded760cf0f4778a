#include "station/serial_pattern.h"

#include <re2/re2.h>

namespace station {

SerialPattern::SerialPattern(std::string text, std::shared_ptr<const re2::RE2> compiled)
    : text_(std::move(text)), compiled_(std::move(compiled)) {}

std::optional<SerialPattern> SerialPattern::compile(const std::string& text, std::string* error) {
  re2::RE2::Options options;
  options.set_log_errors(false);  // the caller names the line instead
  auto compiled = std::make_shared<const re2::RE2>(text, options);
  if (compiled->ok()) return SerialPattern(text, std::move(compiled));
  if (error) {
    *error = compiled->error();
    const auto code = compiled->error_code();
    if (code == re2::RE2::ErrorBadEscape || code == re2::RE2::ErrorBadPerlOp) {
      *error +=
          " (back-references and look-around are not taken: a serial is matched in time "
          "linear in its length)";
    }
  }
  return std::nullopt;
}

bool SerialPattern::matches_whole(std::string_view serial) const {
  return re2::RE2::FullMatch(re2::StringPiece(serial.data(), serial.size()), *compiled_);
}

}  // namespace station
