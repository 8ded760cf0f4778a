#include "platform/operator_text.h"

#include <cstddef>

namespace platform {

namespace {

// The placeholder at `at` ("%1".."%9"): its 1-based number, else 0.
int placeholder_at(std::string_view text, std::size_t at) {
  if (at + 1 >= text.size() || text[at] != '%') return 0;
  const char digit = text[at + 1];
  return digit >= '1' && digit <= '9' ? digit - '0' : 0;
}

// Matches `text` against `pattern`, each placeholder taking the shortest run
// of characters that lets the rest match; args[n-1] receives %n.
bool match(std::string_view pattern, std::string_view text, std::vector<std::string>& args) {
  std::size_t p = 0;
  std::size_t t = 0;
  while (p < pattern.size()) {
    if (const int n = placeholder_at(pattern, p)) {
      const std::string_view rest = pattern.substr(p + 2);
      for (std::size_t end = t; end <= text.size(); ++end) {
        std::vector<std::string> tried = args;
        if (tried.size() < static_cast<std::size_t>(n)) tried.resize(static_cast<std::size_t>(n));
        tried[static_cast<std::size_t>(n - 1)] = std::string(text.substr(t, end - t));
        if (match(rest, text.substr(end), tried)) {
          args = std::move(tried);
          return true;
        }
      }
      return false;
    }
    if (t >= text.size() || pattern[p] != text[t]) return false;
    ++p;
    ++t;
  }
  return t == text.size();
}

std::size_t fixed_length(std::string_view pattern) {
  std::size_t length = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (placeholder_at(pattern, i)) {
      ++i;
    } else {
      ++length;
    }
  }
  return length;
}

}  // namespace

std::string fill_placeholders(std::string_view pattern, const std::vector<std::string>& args) {
  std::string out;
  out.reserve(pattern.size());
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const int n = placeholder_at(pattern, i);
    if (n && static_cast<std::size_t>(n) <= args.size()) {
      out += args[static_cast<std::size_t>(n - 1)];
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

std::string OperatorText::english() const {
  if (id.empty()) return {};
  if (const char* source = operator_text_source(id)) return fill_placeholders(source, args);
  // Not in the catalogue (a slip of the program): still every argument shown.
  std::string text = id;
  for (const std::string& arg : args) text += " " + arg;
  return text;
}

const OperatorTextSource* operator_text_entry(std::string_view id) {
  for (const OperatorTextSource& entry : operator_text_catalogue()) {
    if (id == entry.id) return &entry;
  }
  return nullptr;
}

const char* operator_text_source(std::string_view id) {
  const OperatorTextSource* entry = operator_text_entry(id);
  return entry ? entry->english : nullptr;
}

std::optional<OperatorText> recognise_operator_text(std::string_view english,
                                                    std::string_view id_prefix) {
  std::optional<OperatorText> best;
  std::size_t best_fixed = 0;
  const bool parts_asked = id_prefix.starts_with(kOperatorTextPart);
  for (const OperatorTextSource& entry : operator_text_catalogue()) {
    const std::string_view id = entry.id;
    if (!id.starts_with(id_prefix) || (!parts_asked && id.starts_with(kOperatorTextPart))) continue;
    const std::size_t fixed = fixed_length(entry.english);
    // A text that is all argument would fit any line and tell nothing.
    if (fixed == 0 || (best && fixed <= best_fixed)) continue;
    std::vector<std::string> args;
    if (!match(entry.english, english, args)) continue;
    best = OperatorText{entry.id, std::move(args)};
    best_fixed = fixed;
  }
  return best;
}

}  // namespace platform
