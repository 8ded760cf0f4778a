// Test-mode parameter commands: "stw", "str", "cw", "cr", "spw", "rfe" and
// "agcdcs". Each returns its command status (0 = success).
#pragma once

#include <cstdint>
#include <string>

namespace commands {

constexpr std::uint8_t kParameterWriteRequest = 0x52;
constexpr std::uint8_t kParameterReadRequest = 0x53;
constexpr std::uint8_t kRegisterWriteRequest = 0x42;
constexpr std::uint8_t kRegisterReadRequest = 0x43;
constexpr std::uint8_t kSpwRequest = 0x50;
constexpr std::uint8_t kRfeRequest = 0x23;
constexpr std::uint8_t kAgcReadRequest = 0x33;
constexpr std::uint8_t kAgcWriteRequest = 0x32;

// Statuses the parameter commands make themselves.
constexpr int kStatusMalformedValue = 1;      // "cw" value not four hexadecimal digits
constexpr int kStatusUnknownSubCommand = 60;  // "stw"/"str" number not served
constexpr int kStatusDigitsDiffer = 70;       // "str 35" read back other digits
constexpr int kStatusTextDiffers = 80;        // "str 36" read back another text

// The register value "cr" expects, and the flag it adds when the value differs.
constexpr std::uint16_t kExpectedRegisterValue = 0x005B;

int stw(const std::string& line, const std::string& w2, const std::string& w3,
        const std::string& w4, const std::string& w5, const std::string& w6, const std::string& w7,
        const std::string& w8);
int str(const std::string& line, const std::string& w2, const std::string& w3,
        const std::string& w4, const std::string& w5, const std::string& w6, const std::string& w7,
        const std::string& w8);
int cw(const std::string& line, const std::string& w2, const std::string& w3,
       const std::string& w4);
int cr(const std::string& line, const std::string& w2, const std::string& w3);
int spw(const std::string& line, const std::string& w2, const std::string& w3);
int rfe(const std::string& line, const std::string& w2);
int agcdac(const std::string& line);

}  // namespace commands
