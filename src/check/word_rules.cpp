#include "check/word_rules.h"

#include <cctype>

#include "commands/parameter_words.h"
#include "commands/parameters.h"
#include "platform/text_format.h"
#include "script/command_table.h"

namespace check {

namespace {

using Names = std::vector<std::string>;

Names digit_names() {
  Names n{"the sub-command"};
  for (int d = 1; d <= 6; ++d) n.push_back(platform::strprintf("digit %d", d));
  return n;
}

// "stw" and "str" use as many words as their sub-command takes.
WordUse parameter_use(const std::string& keyword, const std::string& sub_word) {
  WordUse use;
  const int number = commands::sub_command_number(sub_word);
  const bool write = keyword == "stw";
  if (sub_word.empty()) {
    use.count = 2;
    use.names = {"the sub-command"};
    return use;
  }
  if (write && number == -48) {
    use.count = 2;
    use.names = {"the sub-command"};
  } else if (number == 34 && write) {
    use.count = 8;
    use.names = digit_names();
  } else if (number == 35 && write) {
    use.count = 3;
    use.names = {"the sub-command", "the text"};
  } else if (number == 35) {
    use.count = 8;
    use.names = digit_names();
  } else if (number == 36 && !write) {
    use.count = 3;
    use.names = {"the sub-command", "the text"};
  } else {
    use.unserved = true;
    use.unserved_text = platform::strprintf(
        "\"%s %s\": the sub-command \"%s\" makes the number %d, which \"%s\" does not serve: "
        "the run stops here with status %d",
        keyword.c_str(), sub_word.c_str(), sub_word.c_str(), number, keyword.c_str(),
        commands::kStatusUnknownSubCommand);
  }
  return use;
}

}  // namespace

WordUse words_used(const std::string& keyword, const std::vector<std::string>& words) {
  if (keyword == "stw" || keyword == "str") {
    return parameter_use(keyword, words.size() > 1 ? words[1] : std::string());
  }
  WordUse use;
  for (const script::Command& command : script::command_table()) {
    if (command.keyword != keyword) continue;
    for (std::string_view meaning : command.word_meanings) use.names.emplace_back(meaning);
  }
  use.count = use.names.size() + 1;
  // "tms 0" chooses the mode; any other word after "tms" gives mode 1.
  if (keyword == "tms" && words.size() > 1 && !words[1].empty()) {
    use.count = 2;
    use.names = {"the mode"};
  }
  return use;
}

std::string_view function_name(const std::string& keyword) {
  for (const script::Command& command : script::command_table()) {
    if (command.keyword == keyword) return command.function;
  }
  return "?";
}

bool is_decimal_number(const std::string& text) {
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t start = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    return i - start;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t mantissa = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  return i == text.size();
}

}  // namespace check
