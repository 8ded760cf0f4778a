// The pattern a unit serial must match as a whole (unit-serial-pattern in
// ffsload.conf), matched by RE2: the time a match takes grows with the
// serial's length alone, whatever the pattern, so a scan the pattern does not
// take is refused in microseconds instead of freezing the station. RE2 takes
// the usual syntax (classes, repeats, groups, alternatives, (?i)) but no
// back-references or look-around, which cannot be matched in linear time.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace re2 {
class RE2;
}

namespace station {

class SerialPattern {
 public:
  // The compiled pattern, or nullopt with *error saying why RE2 cannot take it.
  static std::optional<SerialPattern> compile(const std::string& text,
                                              std::string* error = nullptr);

  // Whether the whole of `serial` matches.
  bool matches_whole(std::string_view serial) const;
  // The pattern as written.
  const std::string& text() const { return text_; }

 private:
  SerialPattern(std::string text, std::shared_ptr<const re2::RE2> compiled);

  std::string text_;
  // Shared: settings are copied to every tile and panel, and a compiled
  // pattern is read-only and safe to match from several threads.
  std::shared_ptr<const re2::RE2> compiled_;
};

}  // namespace station
