// Test-mode parameter commands: "stw", "str", "cw", "cr", "spw", "rfe" and
// "agcdcs". Each returns its command status (0 = success).
#pragma once

#include <cstdint>
#include <string>

#include "link/link.h"
#include "link/request_ids.h"

namespace commands {

using wire::kParameterWriteRequest;
using wire::kParameterReadRequest;
using wire::kRegisterWriteRequest;
using wire::kRegisterReadRequest;
using wire::kSpwRequest;
using wire::kRfeRequest;
using wire::kAgcReadRequest;
using wire::kAgcWriteRequest;

// Statuses the parameter commands make themselves.
constexpr int kStatusMalformedValue = 1;      // "cw" value not four hexadecimal digits
constexpr int kStatusUnknownSubCommand = 60;  // "stw"/"str" number not served
constexpr int kStatusDigitsDiffer = 70;       // "str 35" read back other digits
constexpr int kStatusTextDiffers = 80;        // "str 36" read back another text

// The register value "cr" expects, and the flag it adds when the value differs.
constexpr std::uint16_t kExpectedRegisterValue = 0x005B;

int stw(wire::Link& link, const std::string& line, const std::string& w2, const std::string& w3,
        const std::string& w4, const std::string& w5, const std::string& w6, const std::string& w7,
        const std::string& w8);
int str(wire::Link& link, const std::string& line, const std::string& w2, const std::string& w3,
        const std::string& w4, const std::string& w5, const std::string& w6, const std::string& w7,
        const std::string& w8);
int cw(wire::Link& link, const std::string& line, const std::string& w2, const std::string& w3,
       const std::string& w4);
int cr(wire::Link& link, const std::string& line, const std::string& w2, const std::string& w3);
int spw(wire::Link& link, const std::string& line, const std::string& w2, const std::string& w3);
int rfe(wire::Link& link, const std::string& line, const std::string& w2);
int agcdac(wire::Link& link, const std::string& line);

}  // namespace commands
