// A text for the operator as an id and its arguments, not a finished
// sentence: the command line and the logs print its English, a front end in
// another language looks the id up in its own translations. Every id is in
// the catalogue (operator_text_catalogue.cpp) with its English source text,
// whose %1..%n are the arguments in order.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct OperatorText {
  std::string id;  // "" is the empty text
  std::vector<std::string> args;

  // The text in English, as the command line prints it.
  std::string english() const;
  bool empty() const { return id.empty(); }
  bool operator==(const OperatorText&) const = default;
};

// One entry of the catalogue: an id and its English source text.
struct OperatorTextSource {
  const char* id;
  const char* english;
  // The placeholders ("1".."9") whose arguments a "part." text rendered (a
  // pending IMEI, "unit SN1, customer 1"), one part or several joined by
  // "; ": a window translates them with the sentence. Every other argument
  // is station data, shown as it is whatever it looks like: a serial
  // "customer 9" is no part.
  const char* parts = "";
};
std::span<const OperatorTextSource> operator_text_catalogue();
// The English source text of an id; nullptr when the catalogue has none.
const char* operator_text_source(std::string_view id);
// The catalogue's entry of an id; nullptr when it has none.
const OperatorTextSource* operator_text_entry(std::string_view id);

// The translation context of the catalogue's texts.
inline constexpr const char* kOperatorTextContext = "OperatorText";

// `pattern` with each %1..%9 replaced by its argument (an argument's own %
// signs are left alone); a missing argument leaves its placeholder.
std::string fill_placeholders(std::string_view pattern, const std::vector<std::string>& args);

// The id and arguments of a line that some catalogue text rendered in
// English (a port's child tells the grid its notices as English lines);
// nullopt when none did. Where two texts fit, the one with more fixed text
// wins. With `id_prefix`, only the texts whose id starts with it are tried;
// the parts (kOperatorTextPart) only when `id_prefix` asks for them, since a
// part is never a line of its own.
std::optional<OperatorText> recognise_operator_text(std::string_view english,
                                                    std::string_view id_prefix = {});

// Ids of the texts that are parts of others: an argument in one of its
// text's `parts` placeholders ("unit SN1, customer 1") is translated in its turn.
inline constexpr std::string_view kOperatorTextPart = "part.";

}  // namespace platform
