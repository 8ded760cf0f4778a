// Commands that need no file system: "tms" (test-mode entry), "ti", "se"
// and "sleep". Each returns its command status (0 = success).
#pragma once

#include <cstdint>
#include <string>

namespace commands {

constexpr std::uint8_t kTestModeRequest = 0x21;
constexpr std::uint8_t kTiRequest = 0x20;
constexpr std::uint8_t kSeRequest = 0x54;
constexpr double kTestModeTimeout = 1.5;

int entertestmode(const std::string& line);
int ti(const std::string& line);
int se(const std::string& line, const std::string& value);
int sleep(const std::string& line, const std::string& delay);

// The test-mode entry request sent with no wait for its reply (the download
// uses it to bring a handset back after a failed attempt).
void send_test_mode_request(std::uint8_t mode);

}  // namespace commands
