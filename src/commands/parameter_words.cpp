#include "commands/parameter_words.h"

#include "link/command_support.h"

namespace commands {

namespace {

constexpr int kDigitZero = '0';

// The character code at position i, or 0 past the end (the terminator).
int code_at(const std::string& word, std::size_t i) {
  return i < word.size() ? static_cast<int>(static_cast<unsigned char>(word[i])) : 0;
}

std::optional<std::uint8_t> hex_digit(char c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
  return std::nullopt;
}

}  // namespace

std::int8_t sub_command_number(const std::string& word) {
  const int value = 10 * (code_at(word, 0) - kDigitZero) + (code_at(word, 1) - kDigitZero);
  return static_cast<std::int8_t>(static_cast<std::uint8_t>(value & 0xFF));
}

std::uint8_t digit_byte(const std::string& word) {
  return static_cast<std::uint8_t>((code_at(word, 0) - kDigitZero) & 0xFF);
}

DigitBytes digit_bytes(std::span<const std::string* const, kDigitCount> words) {
  DigitBytes out{};
  for (std::size_t i = 0; i < kDigitCount; ++i) out[i] = digit_byte(*words[i]);
  return out;
}

TextBytes text_bytes(const std::string& word) {
  TextBytes out{};
  for (std::size_t i = 0; i < kTextLength && i < word.size(); ++i) {
    out[i] = static_cast<std::uint8_t>(word[i]);
  }
  return out;
}

std::uint8_t number_byte(const std::string& word) {
  return static_cast<std::uint8_t>(wire::to_int(word) & 0xFF);
}

std::uint8_t register_address(const std::string& row, const std::string& column) {
  // Unsigned arithmetic: a clamped huge number must wrap, not overflow.
  const auto value =
      static_cast<unsigned>(wire::to_int(row)) * 32U + static_cast<unsigned>(wire::to_int(column));
  return static_cast<std::uint8_t>(value & 0xFFU);
}

std::optional<std::uint16_t> register_value(const std::string& word) {
  constexpr std::size_t kFirstDigit = 2;
  constexpr std::size_t kDigits = 4;
  if (word.size() < kFirstDigit + kDigits) return std::nullopt;
  unsigned value = 0;
  for (std::size_t i = kFirstDigit; i < kFirstDigit + kDigits; ++i) {
    const auto digit = hex_digit(word[i]);
    if (!digit) return std::nullopt;
    value = value * 16U + *digit;
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace commands
