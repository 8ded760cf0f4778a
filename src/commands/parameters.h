// Test-mode parameter commands: "stw", "str", "cw", "cr", "spw", "rfe" and
// "agcdcs". Each returns its command status (0 = success).
#pragma once

#include <string>

namespace commands {

int stw(const std::string& line, const std::string& w2, const std::string& w3,
        const std::string& w4, const std::string& w5, const std::string& w6,
        const std::string& w7, const std::string& w8);
int str(const std::string& line, const std::string& w2, const std::string& w3,
        const std::string& w4, const std::string& w5, const std::string& w6,
        const std::string& w7, const std::string& w8);
int cw(const std::string& line, const std::string& w2, const std::string& w3,
       const std::string& w4);
int cr(const std::string& line, const std::string& w2, const std::string& w3);
int spw(const std::string& line, const std::string& w2, const std::string& w3);
int rfe(const std::string& line, const std::string& w2);
int agcdac(const std::string& line);

}  // namespace commands
