// How the parameter commands turn script words into request bytes: the
// sub-command number, digit bytes, the 20-byte text, number bytes, the
// register address and the hexadecimal register value.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace commands {

constexpr std::size_t kDigitCount = 6;
constexpr std::size_t kTextLength = 20;

using DigitBytes = std::array<std::uint8_t, kDigitCount>;
using TextBytes = std::array<std::uint8_t, kTextLength>;

// 10 * (c0 - 48) + (c1 - 48) over the word's first two character codes, as a
// signed 8-bit value. A missing character counts as the code 0, so "0" gives
// -48 and "00" gives 0. Scripts rely on "0", "34", "35" and "36".
std::int8_t sub_command_number(const std::string& word);

// The first character's code minus 48, cut to 8 bits; an empty word gives 0xD0.
std::uint8_t digit_byte(const std::string& word);

// digit_byte of each word in order.
DigitBytes digit_bytes(std::span<const std::string* const, kDigitCount> words);

// The word's characters followed by zero bytes; a longer word gives its first 20.
TextBytes text_bytes(const std::string& word);

// The word as a decimal number (to_int), low 8 bits.
std::uint8_t number_byte(const std::string& word);

// (row * 32 + column), both decimal numbers, low 8 bits.
std::uint8_t register_address(const std::string& row, const std::string& column);

// Two characters that are not looked at, then four hexadecimal digits, most
// significant first; characters after the sixth are ignored. Nothing when
// the word is shorter or one of the four is not a hexadecimal digit.
std::optional<std::uint16_t> register_value(const std::string& word);

}  // namespace commands
